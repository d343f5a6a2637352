#pragma once
// One writer at a time for the configuration files: a lock file beside the file
// ("phones.xml.lock", "Saldomat.ini.lock") is held around every
// read-modify-write, by the tray program and saldomat-cli alike. A lock left
// by a process that died is taken over. Within one process the lock of a file
// is shared, so nested holders never wait for themselves.

#include <QString>
#include <memory>

class QLockFile;

class TFileLockHold {
public:
    TFileLockHold() = default;
    // A copy holds nothing: the lock belongs to the reader that took it.
    TFileLockHold(const TFileLockHold &) { }
    TFileLockHold &operator=(const TFileLockHold &) { return *this; }
    TFileLockHold(TFileLockHold &&) = default;
    TFileLockHold &operator=(TFileLockHold &&) = default;
    ~TFileLockHold();
    bool operator==(const TFileLockHold &) const { return true; }

    // Takes the lock of the file (waits while another process holds it; throws
    // SaldomatError when it stays taken for long). Holding already: nothing.
    void Acquire(const QString &fileName);
    void Release();
    bool Held() const { return lock_ != nullptr; }

private:
    std::shared_ptr<QLockFile> lock_;
    QString fileName_;
};

// Gives a held lock back at the end of a scope, whatever happens in it.
struct TFileLockRelease {
    TFileLockHold &hold;
    ~TFileLockRelease() { hold.Release(); }
};
