// The tray program.
#include "Common.h"
#include "Failure.h"
#include "NoSecondRun.h"
#include "ProgramInit.h"
#include "ResourceImage.h"
#include "Saldomat_.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace {
// No exception may cross the event loop: whatever escapes an event handler ends
// that event and goes to the error log.
class SaldomatApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            MainException(e);
        } catch (...) {
            MainException(QStringLiteral("unknown failure"));
        }
        return false;
    }
};
}  // namespace

int main(int argc, char **argv)
{
    SaldomatApplication app(argc, argv);
    app.setApplicationName(QLatin1String(ProgramName));
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(ResourceIcon(QStringLiteral(":/MAINICON.xpm")));
    QLocale::setDefault(QLocale::c());  // "." as the decimal separator everywhere
    // Qt's own dialogs (file dialogs, Yes and No) speak Russian like the rest.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    const TProgramPaths paths = InitPaths();
    // One copy per user: a later copy hands its command words to the running
    // one and quits before it touches any file.
    NoSecondRun instance(MainCaption());
    const QStringList args = app.arguments().mid(1);
    try {
        if (!instance.Claim())
            return instance.Forward(CommandWords(args)) ? 0 : 1;
    } catch (const std::exception &e) {
        MainException(e);
        return 1;
    }
    if (!args.isEmpty()) {
        // A command for a copy that does not run: nothing is done, and the
        // caller (a script, a menu entry) is told so.
        const QStringList words = CommandWords(args);
        std::fprintf(stderr, "saldomat: no running copy of Saldomat to send %s to; nothing was done\n",
                     qPrintable(words.isEmpty() ? args.join(QLatin1Char(' ')) : words.join(QLatin1Char(' '))));
        return 1;
    }

    try {
        CreateHistoryOnFirstStart(paths);
        Init(paths);
    } catch (const std::exception &e) {
        MainException(e);
        return 1;
    }

    TfrmMain frmMain(paths);
    instance.SetHandler([&frmMain](const QString &command) { return frmMain.HandleCommand(command); });
    try {
        frmMain.FormCreate();
    } catch (const std::exception &e) {
        MainException(e);
        return 1;
    }
    if (frmMain.Terminating())
        return 0;
    return app.exec();
}
