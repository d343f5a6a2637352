#include "ProgramInit.h"

#include "AlterTable.h"
#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "PhonesXml.h"
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

void Init()
{
    guarded("common.Init", [] {
        InitConfig();
        MakeProgramFilesPrivate();
        CheckHistoryAvailable();
    });
}

void MakeProgramFilesPrivate()
{
    guarded("common.MakeProgramFilesPrivate", [] {
        const QString db = HistoryDbFileName();
        QStringList files{ErrFileName, IniFileName, ServersIniFileName, PhonesXmlFileName,
                          PhonesXmlFileName + QStringLiteral(".bad"), db, db + QStringLiteral("-wal"),
                          db + QStringLiteral("-shm"), db + QStringLiteral("-journal")};
        for (const QString &page : QDir(ProgramDir).entryList(QDir::Files))
            if (IsSavedPageName(page))
                files << ProgramDir + page;
        const QStringList changed = MakeFilesPrivate(files);
        if (!changed.isEmpty())
            AppendStringToFile(QStringLiteral("Закрыт доступ других пользователей к файлам: %1").arg(changed.join(QStringLiteral(", "))),
                               ErrFileName);
    });
}

bool CreateHistoryOnFirstStart()
{
    return guarded("common.CreateHistoryOnFirstStart", [] {
        if (QFile::exists(IniFileName) || QFile::exists(PhonesXmlFileName) || QFile::exists(HistoryDbFileName()))
            return false;
        CreateHistoryDatabase();
        AppendStringToFile(QStringLiteral("Первый запуск: создан пустой файл истории баланса \"%1\"").arg(HistoryDbFileName()),
                           ErrFileName);
        return true;
    });
}

void LoadSettings()
{
    guarded("TfrmSetup.LoadSettings", [] {
        // The live settings are not an edit: the lock is held for the load only.
        {
            TFileLockRelease unlock{SetupModel().PhonesLock()};
            LoadPhonesInfoFromXml();
        }
        LoadIniFile();
    });
}

std::unique_ptr<TmdbStore> OpenHistoryStore(QString *failureBoxText)
{
    // A history file that is there but cannot be read now (locked, damaged)
    // still gets its store: every run checks it again.
    if (!HistoryAvailable && !QFile::exists(HistoryDbFileName()))
        return nullptr;
    auto store = std::make_unique<TmdbStore>();
    if (HistoryAvailable) {
        AlterTablePhonesIfNeed(HistoryDbFileName(), failureBoxText);
        store->setTableChecked();
    }
    return store;
}

QList<HistoryPhoneRef> MonitoredPhones()
{
    QList<HistoryPhoneRef> phones;
    for (int slot = 1; slot <= MaxPhones; ++slot)
        if (MonitorPhoneEnabled(slot))
            phones.append({slot, UserPhone(slot), Alias(slot)});
    return phones;
}

void LoadHistoryIntoTable(TmdbStore *store)
{
    if (store && HistoryAvailable)
        store->LoadHistoryInformation(MonitoredPhones(), RefreshHours(SetupModel()));
}
