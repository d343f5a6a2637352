#include "ConfigWatcher.h"

#include "Common.h"
#include "Failure.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>

ConfigWatcher::ConfigWatcher(TProgramState &state, QObject *parent) : QObject(parent), state_(state), vault_(state)
{
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] { runHandler(ROUTINE("Settled"), [&] { settled(); }); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { changed(); });
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { changed(); });
}

ConfigWatcher::~ConfigWatcher() = default;

ConfigWatcher::Stamps ConfigWatcher::stampsNow() const
{
    return {StampOfFile(state_.Paths.IniFileName), StampOfFile(state_.Paths.ServersIniFileName),
            StampOfFile(state_.Paths.PhonesXmlFileName)};
}

void ConfigWatcher::loadFiles()
{
    QStringList problems;
    // The stamps first: a change made while the files are read is seen again.
    stamps_ = stampsNow();
    try {
        LoadPhonesInfoFromXml(state_.Setup, state_.Paths.PhonesXmlFileName, MaxPhones, &problems);
    } catch (const std::exception &e) {
        MainException(THIS_ROUTINE, e);
    }
    // The live settings are not an edit: the file's lock is held for the load
    // only, so that saldomat-cli can change the list while the program runs.
    state_.Setup.ReleasePhonesLock();
    // The settings do not depend on the phone list: read whatever it held.
    try {
        LoadIniFile(state_.IniFile, state_.Setup);
    } catch (const std::exception &e) {
        MainException(THIS_ROUTINE, e);
    }
    loaded_ = state_.Setup;
    QStringList fresh;
    for (const QString &p : problems) {
        if (told_.contains(p))
            continue;
        told_.insert(p);
        fresh.append(p);
        AppendStringToFile(p, state_.Paths.ErrFileName);
    }
    if (!fresh.isEmpty())
        Q_EMIT problemsFound(fresh.join(QLatin1Char('\n')));
}

void ConfigWatcher::Load()
{
    loadFiles();
    watch();
    vault_.Load(state_.Setup, [this] {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT passwordsLoaded(); }, Qt::QueuedConnection);
    });
}

void ConfigWatcher::TakeSnapshot()
{
    loaded_ = state_.Setup;
    stamps_ = stampsNow();
}

void ConfigWatcher::SaveChanged()
{
    SaveChangedSettings(state_.IniFile, state_.Setup, loaded_);
    TakeSnapshot();
}

void ConfigWatcher::watch()
{
    // The folder, since the files are replaced by a rename; the files too,
    // for programs that write them in place. A replaced file drops out of the
    // watch and is added again here.
    const QString dir = QFileInfo(state_.Paths.IniFileName).absolutePath();
    if (!watcher_.directories().contains(dir))
        watcher_.addPath(dir);
    for (const QString &name :
         {state_.Paths.IniFileName, state_.Paths.ServersIniFileName, state_.Paths.PhonesXmlFileName})
        if (QFile::exists(name) && !watcher_.files().contains(name))
            watcher_.addPath(name);
}

void ConfigWatcher::changed()
{
    if (!settle_.isActive())
        settle_.start(kSettleMs);
}

void ConfigWatcher::settled()
{
    watch();
    if (stampsNow() == stamps_)
        return;  // another file of the folder (the history, the log)
    if (busy_ && busy_()) {
        settle_.start(kBusyRetryMs);
        return;
    }
    loadFiles();
    // Read again: the other program may have put a new password there.
    vault_.Load(state_.Setup, [this] { Q_EMIT reloaded(); });
}
