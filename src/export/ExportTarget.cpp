#include "ExportTarget.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

namespace {
std::filesystem::path fsPath(const QString &file)
{
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

QString quoted(const QString &file)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(file) + QLatin1Char('"');
}

// The files the program keeps; an export must never take their place.
QStringList programFiles()
{
    const TProgramPaths paths = InitPaths();
    return {paths.HistoryDbFileName, paths.IniFileName, paths.ServersIniFileName, paths.PhonesXmlFileName,
            paths.ErrFileName};
}

bool isProgramFile(const QFileInfo &info)
{
    const QString absolute = info.absoluteFilePath();
    for (const QString &own : programFiles()) {
        if (own.isEmpty())
            continue;
        // The same file under another name (a link, a hard link, "./", "..").
        std::error_code ec;
        if (info.exists() && QFileInfo::exists(own) && std::filesystem::equivalent(fsPath(absolute), fsPath(own), ec)
            && !ec)
            return true;
        // A program file that does not exist yet: its name in the program folder.
        const QFileInfo ownInfo(own);
        if (QFileInfo(info.absolutePath()).canonicalFilePath() == QFileInfo(ownInfo.absolutePath()).canonicalFilePath()
            && info.fileName().compare(ownInfo.fileName(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

ExportTargetCheck refused(const QString &reason)
{
    return {ExportTargetState::Refused, reason};
}
}  // namespace

ExportTargetCheck CheckExportTarget(const QString &file)
{
    if (file.isEmpty())
        return refused(QStringLiteral("Не указано имя файла"));
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return refused(QStringLiteral("Папки %1 нет").arg(quoted(info.absolutePath())));
    if (isProgramFile(info))
        return {ExportTargetState::Refused,
                QStringLiteral("Файл %1 - файл самой программы; выберите другое имя").arg(quoted(file)), true};
    if (info.isSymLink()) {
        // A link is replaced by the new file, never written through; a link
        // that leads out of its folder is refused so that nobody is surprised.
        const QFileInfo target(info.symLinkTarget());
        if (QFileInfo(target.absolutePath()).canonicalFilePath() != folder.canonicalFilePath())
            return refused(QStringLiteral("Файл %1 - ссылка на файл в другой папке").arg(quoted(file)));
        if (target.exists() && !target.isFile())
            return refused(QStringLiteral("Файл %1 - ссылка не на обычный файл").arg(quoted(file)));
    } else if (info.exists() && !info.isFile()) {
        return refused(QStringLiteral("%1 - не обычный файл (папка, устройство или канал)").arg(quoted(file)));
    }
    if (!folder.isWritable())
        return refused(QStringLiteral("В папку %1 нельзя записать").arg(quoted(info.absolutePath())));
    if (!info.exists() && !info.isSymLink())
        return {ExportTargetState::New, QString()};
    if (info.exists() && !info.isWritable())
        return refused(QStringLiteral("Файл %1 защищён от записи").arg(quoted(file)));
    return {ExportTargetState::Existing, QString()};
}

void RequireExportTarget(const QString &file)
{
    const ExportTargetCheck check = CheckExportTarget(file);
    if (check.state == ExportTargetState::Refused)
        throw SaldomatError(check.reason);
}
