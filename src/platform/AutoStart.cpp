#include "AutoStart.h"

#include "AtomicFile.h"
#include "Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
#ifdef Q_OS_WIN
const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
#else

// An Exec argument of a desktop entry: quoted when it holds a blank or another
// reserved character, with the characters that are special inside quotes
// escaped; "%" doubled; backslashes doubled once more for the string value.
QString desktopExecArgument(const QString &path)
{
    for (QChar c : path)
        if (c.unicode() < 32 || c.unicode() == 127)
            throw SaldomatError(QStringLiteral("Путь к программе содержит управляющие символы: \"%1\"").arg(path));
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : path)
        quote = quote || reserved.contains(c);
    QString arg;
    if (quote) {
        arg = QStringLiteral("\"");
        for (QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = path;
    }
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return arg;
}
#endif
}  // namespace

QString QuotedProgramPath(const QString &path)
{
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

QString TrayProgramPath()
{
    const QString self = QCoreApplication::applicationFilePath();
    const QFileInfo info(self);
    if (info.completeBaseName() == QLatin1String("saldomat"))
        return self;
#ifdef Q_OS_WIN
    return info.absolutePath() + QStringLiteral("/saldomat.exe");
#else
    return info.absolutePath() + QStringLiteral("/saldomat");
#endif
}

QString AutoStartEntryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/saldomat.desktop");
}

bool GetAutoStart()
{
    return guarded(THIS_ROUTINE, [&] {
#ifdef Q_OS_WIN
        QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
        return !run.value(QStringLiteral("Saldomat")).toString().isEmpty();
#else
        QFile file(AutoStartEntryPath());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        bool inEntry = false;
        bool hasExec = false;
        bool hidden = false;
        for (const QByteArray &raw : file.readAll().split('\n')) {
            const QByteArray line = raw.trimmed();
            if (line.startsWith('[')) {
                inEntry = line == "[Desktop Entry]";
                continue;
            }
            if (!inEntry)
                continue;
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            const QByteArray key = line.left(eq).trimmed();
            const QByteArray value = line.mid(eq + 1).trimmed();
            if (key == "Exec")
                hasExec = !value.isEmpty();
            else if (key == "Hidden")
                hidden = value == "true";
        }
        return hasExec && !hidden;
#endif
    });
}

void SetAutoStart(bool enable, const QString &programPath)
{
    guarded(THIS_ROUTINE, [&] {
        const QString path = QDir::toNativeSeparators(programPath.isEmpty() ? TrayProgramPath() : programPath);
#ifdef Q_OS_WIN
        QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
        if (enable)
            run.setValue(QStringLiteral("Saldomat"), QuotedProgramPath(path));
        else
            run.remove(QStringLiteral("Saldomat"));
        run.sync();
        if (run.status() != QSettings::NoError)
            throw SaldomatError(QStringLiteral("Не удалось изменить автозапуск в реестре"));
#else
        const QString entry = AutoStartEntryPath();
        if (!enable) {
            QFile file(entry);
            if (file.exists() && !file.remove())
                throw SaldomatError(QStringLiteral("Не удалось удалить файл \"%1\": %2").arg(entry, file.errorString()));
            return;
        }
        const QString dir = QFileInfo(entry).absolutePath();
        if (!QDir().mkpath(dir))
            throw SaldomatError(QStringLiteral("Не удалось создать папку \"%1\"").arg(dir));
        const QString text = QStringLiteral(
                                 "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Saldomat\n"
                                 "Comment=Баланс телефонов в области уведомлений\n"
                                 "Exec=%1\n"
                                 "Terminal=false\n"
                                 "X-GNOME-Autostart-enabled=true\n")
                                 .arg(desktopExecArgument(path));
        WriteFileAtomically(entry, text.toUtf8());
#endif
    });
}
