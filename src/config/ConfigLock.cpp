#include "ConfigLock.h"

#include "Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <map>

namespace {
constexpr int kWaitMs = 60000;
constexpr int kStaleMs = 120000;

// The locks this process holds, by lock file: shared by every holder here.
std::shared_ptr<QLockFile> sharedLock(const QString &lockName)
{
    static std::map<QString, std::weak_ptr<QLockFile>> held;
    if (std::shared_ptr<QLockFile> lock = held[lockName].lock())
        return lock;
    auto lock = std::make_shared<QLockFile>(lockName);
    lock->setStaleLockTime(kStaleMs);
    if (!lock->tryLock(kWaitMs)) {
        const QString reason = lock->error() == QLockFile::LockFailedError
            ? QStringLiteral("файл занят другой программой")
            : QStringLiteral("не удалось создать файл блокировки");
        throw SaldomatError(QStringLiteral("Не удалось получить блокировку \"%1\": %2").arg(lockName, reason));
    }
    held[lockName] = lock;
    return lock;
}
}  // namespace

TFileLockHold::~TFileLockHold() = default;

void TFileLockHold::Acquire(const QString &fileName)
{
    const QString name = QFileInfo(fileName).absoluteFilePath();
    if (lock_ && name == fileName_)
        return;
    std::shared_ptr<QLockFile> lock = sharedLock(name + QStringLiteral(".lock"));
    lock_ = std::move(lock);
    fileName_ = name;
}

void TFileLockHold::Release()
{
    lock_.reset();
    fileName_.clear();
}
