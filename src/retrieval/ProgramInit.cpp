#include "ProgramInit.h"

#include "AlterTable.h"
#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StoreMDB.h"

#include <QDir>
#include <QFile>

namespace {
// A page saved for the log: "yy-MM-dd_HH-mm-ss-zzz.html", any character where
// a digit stands, letters in either case. Compared here and not by a name
// filter, which would bring the regular-expression engine into memory at
// every start.
bool IsSavedPageName(const QString &name)
{
    static constexpr char pattern[] = "?\?-?\?-?\?_?\?-?\?-?\?-?\??.html";
    if (name.size() != int(sizeof pattern) - 1)
        return false;
    for (int i = 0; i < name.size(); ++i)
        if (pattern[i] != '?' && name[i].toLower() != QLatin1Char(pattern[i]))
            return false;
    return true;
}
}  // namespace

void Init(const TProgramPaths &paths)
{
    guarded(THIS_ROUTINE, [&] { MakeProgramFilesPrivate(paths); });
}

void MakeProgramFilesPrivate(const TProgramPaths &paths)
{
    guarded(THIS_ROUTINE, [&] {
        const QString &db = paths.HistoryDbFileName;
        QStringList files{paths.ErrFileName,
                          paths.IniFileName,
                          paths.ServersIniFileName,
                          paths.PhonesXmlFileName,
                          paths.PhonesXmlFileName + QStringLiteral(".bad"),
                          db,
                          db + QStringLiteral("-wal"),
                          db + QStringLiteral("-shm"),
                          db + QStringLiteral("-journal")};
        for (const QString &page : QDir(paths.ProgramDir).entryList(QDir::Files))
            if (IsSavedPageName(page))
                files << paths.ProgramDir + page;
        const QStringList changed = MakeFilesPrivate(files);
        if (!changed.isEmpty())
            AppendStringToFile(QStringLiteral("Закрыт доступ других пользователей к файлам: %1")
                                   .arg(changed.join(QStringLiteral(", "))),
                               paths.ErrFileName);
    });
}

bool CreateHistoryOnFirstStart(const TProgramPaths &paths)
{
    return guarded(THIS_ROUTINE, [&] {
        if (QFile::exists(paths.IniFileName) || QFile::exists(paths.PhonesXmlFileName)
            || QFile::exists(paths.HistoryDbFileName))
            return false;
        CreateHistoryDatabase(paths.HistoryDbFileName);
        AppendStringToFile(
            QStringLiteral("Первый запуск: создан пустой файл истории баланса \"%1\"").arg(paths.HistoryDbFileName),
            paths.ErrFileName);
        return true;
    });
}

void LoadSettings(TProgramState &state)
{
    guarded(THIS_ROUTINE, [&] {
        // The live settings are not an edit: the lock is held for the load only.
        {
            TFileLockRelease unlock{state.Setup.PhonesLock()};
            LoadPhonesInfoFromXml(state.Setup, state.Paths.PhonesXmlFileName, MaxPhones);
        }
        LoadIniFile(state.IniFile, state.Setup);
    });
}

std::unique_ptr<TmdbStore> OpenHistoryStore(const TProgramPaths &paths, QString *failureBoxText)
{
    // A history file that is there but cannot be read now (locked, damaged)
    // still gets its store: every run checks it again.
    const QString &db = paths.HistoryDbFileName;
    const bool available = CheckHistoryAvailable(db);
    if (!available && !QFile::exists(db))
        return nullptr;
    auto store = std::make_unique<TmdbStore>(db);
    store->setAvailable(available);
    if (available) {
        AlterTablePhonesIfNeed(db, failureBoxText);
        store->setTableChecked();
    }
    return store;
}

QList<HistoryPhoneRef> MonitoredPhones(const TProgramState &state)
{
    QList<HistoryPhoneRef> phones;
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (MonitorPhoneEnabled(state, slot))
            phones.append({slot, UserPhone(state, slot), Alias(state, slot)});
    return phones;
}

void LoadHistoryIntoTable(TProgramState &state, TmdbStore *store)
{
    if (store && store->Available())
        for (const THistoryRecord &record :
             store->LoadHistoryInformation(MonitoredPhones(state), RefreshHours(state.Setup)))
            ApplyHistoryRecord(state.IssaArray[record.slot], record);
}
