#pragma once
// INI files with private-profile semantics: a missing file or key reads as the
// default; section and key names compare without letter case; sections are
// listed in file order; text is windows-1251 with CR LF line ends. Every write
// rewrites the file atomically (temporary file and rename), so a crash or a
// full disk never leaves a half-written file.
//
// Files written by hand are read as private-profile reads do: LF line ends, a
// UTF-8 or UTF-16 byte order mark, blank lines, comments (";"), blanks around
// names and values, one pair of quotes around a value, duplicate keys and
// sections (the first occurrence wins). Lines the writer does not change are
// written back as they were, comments included.

#include "AtomicFile.h"
#include "ConfigLock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class TIniFile {
public:
    explicit TIniFile(const QString &fileName) : fileName_(fileName) { }
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;
    ~TIniFile();

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal after "0x"; unreadable text gives the default.
    std::int32_t ReadInteger(const QString &section, const QString &key, std::int32_t defaultValue) const;
    // Read as an integer, non-zero is true.
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    // Section and key names must be non-empty and must not hold line breaks,
    // "[", "]" (sections) or "=" (keys); values must not hold line breaks.
    // Such input would break the file's lines, so it throws instead.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, std::int32_t value);
    void WriteBool(const QString &section, const QString &key, bool value);

    // Section names in file order, each once.
    QStringList ReadSections() const;
    // Key names of a section in file order, each once.
    QStringList ReadSection(const QString &section) const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    // Removes every section of that name with all its keys.
    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);

    // Batches writes: between BeginUpdate and EndUpdate the file is read once
    // and written once, at EndUpdate (and only when its content changed), and
    // the file's lock is held, so that no other process writes in between;
    // CancelUpdate drops the batched writes. Nested calls count. Prefer
    // TIniUpdate.
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();

    struct Document;

private:
    FileStamp stampOf() const { return StampOfFile(fileName_); }

    // The document as it stands: the batch being written, else the file.
    std::shared_ptr<const Document> load() const;
    void store(const std::shared_ptr<const Document> &doc);
    template <class Edit> void modify(Edit &&edit);

    const QString fileName_;
    int updateDepth_ = 0;
    std::shared_ptr<Document> pending_;
    std::shared_ptr<const Document> pendingBase_;  // the file as the batch found it
    bool pendingDirty_ = false;
    bool cancelled_ = false;
    TFileLockHold lock_;
    mutable std::shared_ptr<const Document> cached_;
    mutable FileStamp cachedStamp_;
};

// Scope of a batch of writes: commit() writes them all in one atomic rewrite;
// leaving the scope without commit() (an exception) drops them, so the file
// keeps its old content.
class TIniUpdate {
public:
    explicit TIniUpdate(TIniFile &ini) : ini_(ini) { ini_.BeginUpdate(); }
    ~TIniUpdate()
    {
        if (!done_)
            ini_.CancelUpdate();
    }
    void commit()
    {
        done_ = true;
        ini_.EndUpdate();
    }
    TIniUpdate(const TIniUpdate &) = delete;
    TIniUpdate &operator=(const TIniUpdate &) = delete;

private:
    TIniFile &ini_;
    bool done_ = false;
};
