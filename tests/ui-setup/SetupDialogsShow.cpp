// Shows one configuration dialog on its own, for screenshots and for walking
// through the setup by hand or with xdotool:
//   setup_dialogs_show setup|setup-middle|chooser|add|exsetup|proxy|about
// The program directory is $SALDOMAT_HOME. "setup" prints the outcome:
// "confirmed=1 request-now=0".

#include "About.h"
#include "AddIssaUrl.h"
#include "Common.h"
#include "ExSetupPhone.h"
#include "Failure.h"
#include "IssaUrlChoose.h"
#include "PhonesXml.h"
#include "ProxyServerSetup.h"
#include "SettingsFile.h"
#include "SetupForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("setup");
    try {
        InitPaths();
        InitConfig();
        LoadPhonesInfoFromXml();
        LoadIniFile();
        if (what.startsWith(QLatin1String("setup"))) {
            QElapsedTimer clock;
            clock.start();
            TfrmSetup dialog;
            if (what == QLatin1String("setup-middle"))
                QTimer::singleShot(0, &dialog, [&] {
                    QScrollBar *bar = dialog.phonesScroll()->verticalScrollBar();
                    bar->setValue((bar->maximum() + bar->minimum()) / 2);
                });
            else if (what == QLatin1String("setup-info"))
                QTimer::singleShot(0, &dialog, [&] { dialog.pages()->setCurrentIndex(1); });
            else if (what == QLatin1String("setup-connection"))
                QTimer::singleShot(0, &dialog, [&] { dialog.pages()->setCurrentIndex(2); });
            QTimer::singleShot(0, &dialog, [&] {
                std::fprintf(stderr, "setup dialog shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
            });
            const TSetupResult result = RunSetupDialog(dialog);
            std::printf("confirmed=%d request-now=%d\n", result.Confirmed ? 1 : 0, result.RequestNow ? 1 : 0);
        } else if (what == QLatin1String("chooser")) {
            TfrmIssaUrlChoose chooser;
            chooser.Prepare(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString::fromUtf8(DefaultIssaShortName));
            chooser.exec();
            std::printf("%s\n", chooser.SelectedShortName().toUtf8().constData());
        } else if (what == QLatin1String("add")) {
            TfrmAddIssaUrl dialog;
            dialog.exec();
        } else if (what == QLatin1String("exsetup")) {
            TfrmExSetupPhone dialog;
            dialog.Prepare(QStringLiteral("9161234567"), QStringLiteral("Рабочий"), SetupModel().Line(1).ExSettings);
            dialog.exec();
        } else if (what == QLatin1String("proxy")) {
            TfrmProxyServerSetup dialog;
            dialog.exec();
        } else if (what == QLatin1String("about")) {
            ShowAboutBox(QStringLiteral("https://www.zelkor.example/saldomat/"),
                         [] { std::printf("go-to-site\n"), std::fflush(stdout); });
        } else {
            std::fprintf(stderr, "unknown dialog: %s\n", argv[1]);
            return 2;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", failureText(e).toUtf8().constData());
        return 1;
    }
    return 0;
}
