#pragma once
// Every file the program rewrites goes through here: the bytes are written to a
// temporary file in the same folder and renamed over the old one, so a crash or
// a full disk never leaves a half-written file behind. The program's files hold
// passwords and balances: they are readable by their owner only.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Who may read the file written: the program's own files are the owner's
// alone; an export is the user's document and takes the mode the umask gives
// (or keeps the mode of the file it replaces).
enum class FileAccess { Private, UserDocument };

// Throws SaldomatError (with the file name and the reason) when the write fails;
// the old file is then untouched. A private file is left with mode 0600
// whatever the umask and whatever mode an existing file had.
void WriteFileAtomically(const QString &path, const QByteArray &bytes, FileAccess access = FileAccess::Private);

// Creates a missing folder (and its parents) with mode 0700 for the folder itself.
void MakePrivateDirectory(const QString &path);
// Takes every access away from group and others on the existing ones of these
// files; returns the files that were changed.
QStringList MakeFilesPrivate(const QStringList &paths);

// What identifies a file on disk between two looks at it: a file replaced by
// a rename has another inode, one written in place another size or time.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileStamp &) const = default;
    bool sameFile(const FileStamp &other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};
FileStamp StampOfFile(const QString &path);
