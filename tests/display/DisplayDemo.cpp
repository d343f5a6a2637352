// A small program that shows the status display with sample phones, for
// looking at it on a real desktop: display_demo tray|hint|phones|viewer [seconds]
#include "Common.h"
#include "IniFile.h"
#include "LoadedPages.h"
#include "PhoneTable.h"
#include "PhonesInfo.h"
#include "Setup.h"
#include "TrayHint.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>

namespace {

void samplePhones(int count)
{
    const char *names[]
        = {"Рабочий", "Дом", "Дача", "Мама", "Папа", "Сын", "Офис 2", "Модем", "Охрана", "Резерв", "Лишний"};
    for (int slot = 1; slot <= count; ++slot) {
        TSetupPhoneLine &line = SetupModel().Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("916123%1").arg(slot * 1111 % 10000, 4, 10, QLatin1Char('0'));
        TIssa &issa = IssaArray[slot];
        issa.PhoneNumber = line.Number;
        issa.Alias = QString::fromUtf8(names[(slot - 1) % 11]);
        issa.UserName = QStringLiteral("Иванов И.И.");
        issa.LicSchet = QString::number(2300100 + slot);
        issa.Balance = slot == 2 ? 1.2f : 57.3f * slot;
        issa.Average = 3.1f;
        issa.TurnOff = slot == 2 ? 1 : 12 + slot;
        issa.Recomend = slot == 2 ? 150 : 0;
        issa.QueryDateTime = NowOle() - slot / 24.0;
        issa.Success = true;
        issa.BalDelta = slot % 3 == 0 ? -4.5f : 0;
    }
    // A phone whose last request failed, and one never queried.
    IssaArray[3].Success = false;
    IssaArray[3].State = dsError;
    IssaArray[3].ErrorMsg = QStringLiteral("Ошибка авторизации");
    IssaArray[4] = TIssa{};
    IssaArray[4].PhoneNumber = SetupModel().Line(4).Number;
    IssaArray[4].Alias = QStringLiteral("Новый");
    IssaArray[5].State = dsRequest;
    IssaArray[5].Success = false;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("SALDOMAT_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InitPaths();
    IniFile.SetFileName(InitPaths().IniFileName);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("tray");
    const int seconds = argc > 2 ? atoi(argv[2]) : 8;
    SetupModel().General.cbUserName = true;
    SetupModel().General.cbBalDelta = true;
    samplePhones(mode == QLatin1String("phones") ? 6 : 10);

    // A plain desktop behind the windows, so that their edges show.
    QWidget backdrop(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint);
    backdrop.setStyleSheet(QStringLiteral("background: #3a6ea5"));
    backdrop.setGeometry(0, 0, 1280, 776);
    if (qEnvironmentVariableIsSet("DEMO_BACKDROP"))
        backdrop.show();
    const QPoint pointAt(qEnvironmentVariableIntValue("DEMO_X"), qEnvironmentVariableIntValue("DEMO_Y"));
    QSystemTrayIcon tray(PlainTrayIcon());
    tray.show();
    TTrayIcon trayIcon(&tray);
    TTrayHint hint;
    THintControl control(&hint, &tray);
    SetupModel().SetTrayShow(1, true);
    if (mode == QLatin1String("tray-red"))
        SetupModel().SetTrayShowMinimal(true);
    trayIcon.ChangeTrayPhoneInfo();
    control.FillTrayHintInfo();

    TfrmPhonesInfo phones;
    std::unique_ptr<TfrmLoadedPages> viewer;
    if (mode == QLatin1String("hint")) {
        QTimer::singleShot(1500, [&] {
            QRect g = tray.geometry();
            QPoint at = g.isEmpty() ? QPoint(1270, 780) : g.center();
            if (!pointAt.isNull())
                at = pointAt;
            hint.ShowPhonesInfoXY(at.x(), at.y());
        });
    } else if (mode == QLatin1String("progress")) {
        control.progressMessage(QStringLiteral("Запрос по телефону № 3: Дача\r\n"));
        QTimer::singleShot(1500, [&] {
            QRect g = tray.geometry();
            QPoint at = g.isEmpty() ? QPoint(1270, 780) : g.center();
            if (!pointAt.isNull())
                at = pointAt;
            hint.ShowMessageXY(at.x(), at.y());
        });
    } else if (mode == QLatin1String("phones")) {
        phones.move(200, 150);
        phones.show();
    } else if (mode == QLatin1String("viewer")) {
        viewer = std::make_unique<TfrmLoadedPages>();
        viewer->SetHeader(PhoneHumanInfo(1));
        viewer->SetPages({QStringLiteral("<!-- http://127.0.0.1:9/login -->\r\n<html><body><form><p>Номер: <input "
                                         "name=mobnum></p></form></body></html>"),
            QStringLiteral(
                "<!-- http://127.0.0.1:9/account -->\r\n<html><head><meta "
                "http-equiv=refresh content=\"0;url=http://127.0.0.1:9/x\"><script>alert(1)</script>"
                "</head><body><h3>Лицевой счет: 2300101</h3><table border=1><tr><td>Баланс:</td><td>"
                "57.30 руб.</td></tr><tr><td>Средний расход в день:</td><td>3.10</td></tr></table>"
                "<img src=\"http://127.0.0.1:9/logo.png\"><a href=\"http://127.0.0.1:9/\">Выход</a></body></html>")});
        viewer->move(300, 150);
        viewer->show();
    } else if (mode == QLatin1String("animate")) {
        trayIcon.animationStart();
    }
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
