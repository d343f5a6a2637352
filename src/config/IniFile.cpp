#include "IniFile.h"

#include "AtomicFile.h"
#include "Encoding.h"
#include "Failure.h"
#include "Readers.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {
enum class TextForm { Cp1251, Utf8Bom, Utf16LE, Utf16BE };

struct Line {
    QString raw;  // the line as it stands in the file
    QString key;  // for key lines: the name as written, trimmed
    QString value;  // for key lines: the value, trimmed and unquoted
    bool isKey = false;
};

struct Section {
    QString name;
    bool hasHeader = false;  // false only for the lines before the first header
    QString headerRaw;
    QList<Line> lines;
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}
}  // namespace

struct TIniFile::Document {
    QList<Section> sections;
    TextForm form = TextForm::Cp1251;

    static Document parse(const QByteArray &bytes)
    {
        Document doc;
        qsizetype markLength = 0;
        const QByteArray marked = BomEncoding(bytes, &markLength);
        doc.form = marked == "UTF-8" ? TextForm::Utf8Bom
            : marked == "UTF-16LE"   ? TextForm::Utf16LE
            : marked == "UTF-16BE"   ? TextForm::Utf16BE
                                     : TextForm::Cp1251;
        QString text;
        switch (doc.form) {
        case TextForm::Utf8Bom:
            text = QString::fromUtf8(bytes.mid(markLength));
            break;
        case TextForm::Utf16LE:
        case TextForm::Utf16BE: {
            QStringDecoder decode(doc.form == TextForm::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
            text = decode(bytes.mid(markLength));
            break;
        }
        case TextForm::Cp1251:
            text = FromCp1251(bytes);
            break;
        }
        QStringList lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        doc.sections.append(Section{});
        for (QString raw : lines) {
            if (raw.endsWith(QLatin1Char('\r')))
                raw.chop(1);
            const QString t = raw.trimmed();
            if (t.startsWith(QLatin1Char('['))) {
                Section s;
                qsizetype end = t.indexOf(QLatin1Char(']'));
                if (end < 0)
                    end = t.size();
                s.name = t.mid(1, end - 1).trimmed();
                s.hasHeader = true;
                s.headerRaw = raw;
                doc.sections.append(s);
                continue;
            }
            Line line;
            line.raw = raw;
            const qsizetype eq = t.indexOf(QLatin1Char('='));
            if (!t.isEmpty() && !t.startsWith(QLatin1Char(';')) && eq > 0) {
                line.isKey = true;
                line.key = t.left(eq).trimmed();
                line.value = unquote(t.mid(eq + 1).trimmed());
            }
            doc.sections.last().lines.append(line);
        }
        return doc;
    }

    QByteArray serialize() const
    {
        QString text;
        for (const Section &s : sections) {
            if (s.hasHeader)
                text += s.headerRaw + QStringLiteral("\r\n");
            for (const Line &l : s.lines)
                text += l.raw + QStringLiteral("\r\n");
        }
        switch (form) {
        case TextForm::Utf8Bom:
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        case TextForm::Utf16LE: {
            QStringEncoder encode(QStringEncoder::Utf16LE);
            return QByteArray("\xFF\xFE") + QByteArray(encode(text));
        }
        case TextForm::Utf16BE: {
            QStringEncoder encode(QStringEncoder::Utf16BE);
            return QByteArray("\xFE\xFF") + QByteArray(encode(text));
        }
        case TextForm::Cp1251:
            break;
        }
        return ToCp1251(text);
    }

    const Section *findSection(const QString &name) const
    {
        for (const Section &s : sections)
            if (s.hasHeader && sameName(s.name, name))
                return &s;
        return nullptr;
    }

    const Line *findKey(const QString &section, const QString &key) const
    {
        const Section *s = findSection(section);
        if (!s)
            return nullptr;
        for (const Line &l : s->lines)
            if (l.isKey && sameName(l.key, key))
                return &l;
        return nullptr;
    }

    void write(const QString &section, const QString &key, const QString &value)
    {
        for (Section &s : sections) {
            if (!s.hasHeader || !sameName(s.name, section))
                continue;
            for (Line &l : s.lines) {
                if (l.isKey && sameName(l.key, key)) {
                    l.value = value;
                    l.raw = l.key + QLatin1Char('=') + value;
                    return;
                }
            }
            // After the section's last key (else its last non-blank line), so
            // that blank lines and comments before the next section stay there.
            qsizetype at = s.lines.size();
            while (at > 0 && s.lines.at(at - 1).raw.trimmed().isEmpty())
                --at;
            for (qsizetype i = s.lines.size() - 1; i >= 0; --i) {
                if (s.lines.at(i).isKey) {
                    at = i + 1;
                    break;
                }
            }
            s.lines.insert(at, Line{key + QLatin1Char('=') + value, key, value, true});
            return;
        }
        bool empty = true;
        for (const Section &s : sections)
            if (s.hasHeader || !s.lines.isEmpty())
                empty = false;
        if (!empty) {
            Section &last = sections.last();
            if (last.lines.isEmpty() || !last.lines.last().raw.trimmed().isEmpty())
                last.lines.append(Line{});
        }
        Section s;
        s.name = section;
        s.hasHeader = true;
        s.headerRaw = QLatin1Char('[') + section + QLatin1Char(']');
        s.lines.append(Line{key + QLatin1Char('=') + value, key, value, true});
        sections.append(s);
    }
};

TIniFile::~TIniFile() = default;

std::shared_ptr<const TIniFile::Document> TIniFile::load() const
{
    if (pending_)
        return pending_;
    const FileStamp stamp = stampOf();
    if (cached_ && stamp == cachedStamp_)
        return cached_;
    QByteArray bytes;
    if (stamp.exists) {
        QFile file(fileName_);
        if (!file.open(QIODevice::ReadOnly))
            throw SaldomatError(
                QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(fileName_, file.errorString()));
        bytes = file.readAll();
    }
    cached_ = std::make_shared<const Document>(Document::parse(bytes));
    cachedStamp_ = stamp;
    return cached_;
}

void TIniFile::store(const std::shared_ptr<const Document> &doc)
{
    if (fileName_.isEmpty())
        throw SaldomatError(QStringLiteral("Не задано имя файла настроек"));
    WriteFileAtomically(fileName_, doc->serialize());
    cached_ = doc;
    cachedStamp_ = stampOf();
}

// Every change goes through a batch: outside one, the change is a batch of its own.
template <class Edit> void TIniFile::modify(Edit &&edit)
{
    if (pending_) {
        edit(*pending_);
        pendingDirty_ = true;
        return;
    }
    TIniUpdate update(*this);
    edit(*pending_);
    pendingDirty_ = true;
    update.commit();
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const std::shared_ptr<const Document> doc = load();
    const Line *l = doc->findKey(section, key);
    return l ? l->value : defaultValue;
}

std::int32_t TIniFile::ReadInteger(const QString &section, const QString &key, std::int32_t defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    return TextToInt(text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (s.isEmpty() || hasLineBreak(s) || s.contains(QLatin1Char('[')) || s.contains(QLatin1Char(']')))
        throw SaldomatError(QStringLiteral("Недопустимое имя раздела \"%1\"").arg(section));
    if (k.isEmpty() || hasLineBreak(k) || k.contains(QLatin1Char('=')) || k.startsWith(QLatin1Char(';'))
        || k.startsWith(QLatin1Char('[')))
        throw SaldomatError(QStringLiteral("Недопустимое имя ключа \"%1\"").arg(key));
    if (hasLineBreak(value))
        throw SaldomatError(QStringLiteral("Значение ключа \"%1\" содержит перевод строки").arg(key));
    modify([&](Document &doc) {
        if (doc.form == TextForm::Cp1251) {
            for (const QString &t : {s, k, value}) {
                bool lossless = true;
                ToCp1251(t, &lossless);
                if (!lossless)
                    throw SaldomatError(
                        QStringLiteral("Текст \"%1\" содержит символы вне кодовой страницы windows-1251").arg(t));
            }
        }
        doc.write(s, k, value);
    });
}

void TIniFile::WriteInteger(const QString &section, const QString &key, std::int32_t value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList TIniFile::ReadSections() const
{
    const std::shared_ptr<const Document> doc = load();
    QStringList names;
    for (const Section &s : doc->sections) {
        if (!s.hasHeader)
            continue;
        bool seen = false;
        for (const QString &n : names)
            seen = seen || sameName(n, s.name);
        if (!seen)
            names.append(s.name);
    }
    return names;
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    const std::shared_ptr<const Document> doc = load();
    QStringList keys;
    if (const Section *s = doc->findSection(section)) {
        for (const Line &l : s->lines) {
            if (!l.isKey)
                continue;
            bool seen = false;
            for (const QString &k : keys)
                seen = seen || sameName(k, l.key);
            if (!seen)
                keys.append(l.key);
        }
    }
    return keys;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return load()->findSection(section) != nullptr;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return load()->findKey(section, key) != nullptr;
}

void TIniFile::EraseSection(const QString &section)
{
    if (!QFile::exists(fileName_) && !pending_)
        return;
    modify([&](Document &doc) {
        doc.sections.removeIf([&](const Section &s) { return s.hasHeader && sameName(s.name, section); });
    });
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    if (!QFile::exists(fileName_) && !pending_)
        return;
    modify([&](Document &doc) {
        for (Section &s : doc.sections)
            if (s.hasHeader && sameName(s.name, section))
                s.lines.removeIf([&](const Line &l) { return l.isKey && sameName(l.key, key); });
    });
}

void TIniFile::BeginUpdate()
{
    if (updateDepth_ == 0) {
        if (!fileName_.isEmpty())
            lock_.Acquire(fileName_);
        try {
            pendingBase_ = load();  // may throw: nothing changed then
        } catch (...) {
            lock_.Release();
            throw;
        }
        pending_ = std::make_shared<Document>(*pendingBase_);
        pendingDirty_ = false;
        cancelled_ = false;
    }
    ++updateDepth_;
}

void TIniFile::EndUpdate()
{
    if (updateDepth_ == 0)
        return;
    if (--updateDepth_ > 0)
        return;
    const std::shared_ptr<const Document> doc = std::move(pending_);
    const std::shared_ptr<const Document> base = std::move(pendingBase_);
    pending_.reset();
    pendingBase_.reset();
    const bool edited = pendingDirty_ && !cancelled_;
    pendingDirty_ = false;
    // A batch that changed nothing leaves the file alone; the first write
    // creates a missing file even with default values.
    TFileLockRelease unlock{lock_};
    if (edited && (!stampOf().exists || doc->serialize() != base->serialize()))
        store(doc);
}

void TIniFile::CancelUpdate()
{
    cancelled_ = true;
    EndUpdate();
}
