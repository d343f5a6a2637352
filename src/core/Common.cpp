#include "Common.h"

#include "AtomicFile.h"
#include "Encoding.h"
#include "Failure.h"
#include "PhoneTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <sys/utsname.h>
#endif

namespace {
bool logHeaderPending = true;

// The operating-system line of the log header.
QString systemVersionLine()
{
#ifdef Q_OS_UNIX
    constexpr int kPlatformIdUnix = 6;
    utsname info{};
    if (uname(&info) != 0)
        return QString();
    int numbers[3] = {0, 0, 0};
    const QStringList parts
        = QString::fromLocal8Bit(info.release).split(QRegularExpression(QStringLiteral("[^0-9]+")), Qt::SkipEmptyParts);
    for (int i = 0; i < 3 && i < parts.size(); ++i)
        numbers[i] = parts[i].toInt();
    return QStringLiteral("WVI: MajorVersion=%1, MinorVersion=%2, BuildNumber=%3, PlatformId=%4, CSDVersion=%5")
        .arg(numbers[0])
        .arg(numbers[1])
        .arg(numbers[2])
        .arg(kPlatformIdUnix)
        .arg(QString::fromLocal8Bit(info.sysname));
#else
    return QString();
#endif
}
}  // namespace

QString MainCaption()
{
    return QStringLiteral("%1  v %2").arg(QLatin1String(ProgramName), QLatin1String(ProgramVersion));
}

QString ProgramDirectory()
{
    const QString home = qEnvironmentVariable("SALDOMAT_HOME");
    QString dir;
    if (!home.isEmpty()) {
        dir = home;
    } else {
        const QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        // An installed program (its desktop entry beside the "bin" folder)
        // keeps each user's files in the user's data folder.
        const bool installed = QFileInfo::exists(exeDir + QStringLiteral("/../share/applications/saldomat.desktop"));
        if (!exeDir.isEmpty() && !installed && QFileInfo(exeDir).isWritable())
            dir = exeDir;
        else
            dir = QDir::homePath() + QStringLiteral("/.local/share/saldomat");
    }
    MakePrivateDirectory(dir);
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

TProgramPaths ProgramPathsIn(const QString &dir)
{
    TProgramPaths paths;
    paths.ProgramDir = dir;
    paths.ErrFileName = dir + QStringLiteral("Saldomat.err");
    paths.IniFileName = dir + QStringLiteral("Saldomat.ini");
    paths.ServersIniFileName = dir + QStringLiteral("servers.ini");
    paths.PhonesXmlFileName = dir + QStringLiteral("phones.xml");
    paths.HistoryDbFileName = dir + QStringLiteral("Saldomat.db");
    return paths;
}

TProgramPaths InitPaths()
{
    return ProgramPathsIn(ProgramDirectory());
}

QString ErrorLogFileName()
{
    return InitPaths().ErrFileName;
}

void AppendStringToFile(const QString &message, const QString &path)
{
    guarded(THIS_ROUTINE, [&] {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw SaldomatError(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(path, file.errorString()));
        QString text;
        if (logHeaderPending) {
            text += QStringLiteral("\r\n") + QString(142, QLatin1Char('*')) + QStringLiteral("\r\n");
            text += QStringLiteral("%1 %2\r\n").arg(QLatin1String(ProgramName), QLatin1String(ProgramVersion));
            text += systemVersionLine() + QStringLiteral("\r\n\r\n");
        }
        const QDateTime now = QDateTime::currentDateTime();
        const QLocale locale = QLocale::system();
        text += locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
            + locale.toString(now.time(), QLocale::LongFormat) + QStringLiteral(": ") + message
            + QStringLiteral("\r\n");
        const QByteArray bytes = ToCp1251(text);
        if (file.write(bytes) != bytes.size())
            throw SaldomatError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, file.errorString()));
        file.close();
        logHeaderPending = false;
    });
}

void ResetLogHeaderFlag()
{
    logHeaderPending = true;
}

void TruncateFile(const QString &path)
{
    guarded(THIS_ROUTINE, [&] {
        QFile file(path);
        if (!file.exists())
            return;
        if (!file.open(QIODevice::ReadOnly))
            throw SaldomatError(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(path, file.errorString()));
        const QByteArray data = file.readAll();
        file.close();
        // Count lines from the end; a last line without its break still counts.
        qsizetype pos = data.size();
        if (pos > 0 && data.endsWith('\n'))
            --pos;
        int lines = 0;
        while (pos > 0) {
            const qsizetype nl = data.lastIndexOf('\n', pos - 1);
            ++lines;
            if (nl < 0)
                return;  // the whole file is at most this many lines
            if (lines == LogKeepLines) {
                WriteFileAtomically(path, data.mid(nl + 1));
                return;
            }
            pos = nl;
        }
    });
}

QString FormatPhoneNumber(const QString &number)
{
    if (number.size() != 10)
        return number;
    return QStringLiteral("(%1) %2-%3%4").arg(number.mid(0, 3), number.mid(3, 3), number.mid(6, 2), number.mid(8, 2));
}

QString PhoneHumanInfo(const TIssa &issa)
{
    const QString number = FormatPhoneNumber(issa.PhoneNumber);
    if (!issa.Alias.isEmpty())
        return QStringLiteral("%1 [%2]").arg(number, issa.Alias);
    if (!issa.UserName.isEmpty())
        return QStringLiteral("%1 [%2]").arg(number, issa.UserName);
    return number;
}
