// The smallest Qt tray program: the floor for start-up time and idle memory.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap pix(16, 16);
    pix.fill(Qt::darkBlue);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray{QIcon(pix)};
    tray.setContextMenu(&menu);
    tray.show();
    QTimer::singleShot(0, [] { fputs("tray-icon-shown\n", stderr), fflush(stderr); });
    return app.exec();
}
