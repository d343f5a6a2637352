#include "Encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace {

// Bytes 0x80..0xFF. 0x98 has no character of its own and stands for U+0098,
// so that every byte survives a round trip.
constexpr char16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The byte of a character, or 0 when the code page lacks it.
unsigned char ByteOf(char16_t c)
{
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    if (c >= 0x0410 && c <= 0x044F)  // the alphabet, in order from 0xC0
        return static_cast<unsigned char>(c - 0x0410 + 0xC0);
    for (int i = 0; i < 0x40; ++i)
        if (kHigh[i] == c)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

}  // namespace

QByteArray ToCp1251(const QString &text, bool *lossless)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *p = out.data();
    bool exact = true;
    const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        unsigned char b = ByteOf(c);
        if (b == 0 && c != 0) {
            exact = false;
            b = '?';
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
                ++i;
        }
        *p++ = static_cast<char>(b);
    }
    out.truncate(p - out.data());
    if (lossless)
        *lossless = exact;
    return out;
}

QString FromCp1251(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *d++ = b < 0x80 ? char16_t(b) : kHigh[b - 0x80];
    }
    return out;
}

bool IsCp1251Name(const QByteArray &charset)
{
    static const std::array<QByteArrayView, 6> names
        = {"windows-1251", "cp1251", "x-cp1251", "cp-1251", "win-1251", "windows1251"};
    const QByteArray name = charset.trimmed().toLower();
    for (QByteArrayView known : names)
        if (name == known)
            return true;
    return false;
}

bool IsKnownCharset(const QByteArray &charset)
{
    const QByteArray name = charset.trimmed();
    if (name.isEmpty())
        return false;
    return IsCp1251Name(name) || QStringDecoder(name.constData()).isValid();
}

QString DecodeByCharset(const QByteArray &bytes, const QByteArray &charset)
{
    const QByteArray name = charset.trimmed();
    if (!name.isEmpty() && !IsCp1251Name(name)) {
        QStringDecoder dec(name.constData(), QStringConverter::Flag::Stateless);
        if (dec.isValid())
            return dec.decode(bytes);
    }
    return FromCp1251(bytes);
}

QByteArray EncodeByCharset(const QString &text, const QByteArray &charset, bool *lossless)
{
    const QByteArray name = charset.trimmed();
    if (IsCp1251Name(name))
        return ToCp1251(text, lossless);
    QStringEncoder enc(name.constData(), QStringConverter::Flag::Stateless);
    if (!enc.isValid())
        enc = QStringEncoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray out = enc.encode(text);
    if (lossless)
        *lossless = !enc.hasError();
    return out;
}

namespace {

bool IsCharsetNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

}  // namespace

QByteArray MetaCharset(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(kMetaSniffBytes).toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        qsizetype end = head.indexOf('>', meta);
        if (end < 0)
            end = head.size();
        for (qsizetype key = head.indexOf("charset", meta); key >= 0 && key < end;
             key = head.indexOf("charset", key + 7)) {
            qsizetype i = key + 7;
            while (i < end && IsBlank(head[i]))
                ++i;
            if (i >= end || head[i] != '=')
                continue;
            ++i;
            while (i < end && (IsBlank(head[i]) || head[i] == '"' || head[i] == '\''))
                ++i;
            const qsizetype start = i;
            while (i < end && IsCharsetNameChar(head[i]))
                ++i;
            if (i > start)
                return head.mid(start, i - start);
        }
    }
    return {};
}

QByteArray BomEncoding(const QByteArray &bytes, qsizetype *markLength)
{
    struct Mark {
        const char *bytes;
        qsizetype length;
        const char *encoding;
    };
    static const Mark marks[]
        = {{"\xEF\xBB\xBF", 3, "UTF-8"}, {"\xFF\xFE", 2, "UTF-16LE"}, {"\xFE\xFF", 2, "UTF-16BE"}};
    for (const Mark &mark : marks) {
        if (bytes.startsWith(QByteArrayView(mark.bytes, mark.length))) {
            if (markLength)
                *markLength = mark.length;
            return mark.encoding;
        }
    }
    if (markLength)
        *markLength = 0;
    return {};
}

QByteArray PageFileBytes(const QString &text)
{
    bool lossless = true;
    QByteArray bytes = ToCp1251(text, &lossless);
    if (lossless)
        return bytes;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}
