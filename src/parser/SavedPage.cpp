#include "SavedPage.h"

#include "Encoding.h"

#include <QStringDecoder>
#include <charconv>

namespace {

constexpr qsizetype kMetaSniffBytes = 8192;

bool isCharsetNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
}

// The charset named by the first <meta ... charset=NAME ...> tag near the top.
QByteArray metaCharset(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(kMetaSniffBytes).toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        qsizetype end = head.indexOf('>', meta);
        if (end < 0)
            end = head.size();
        const qsizetype key = head.indexOf("charset", meta);
        if (key < 0 || key > end)
            continue;
        qsizetype i = key + 7;
        while (i < end && (head[i] == ' ' || head[i] == '\t'))
            ++i;
        if (i >= end || head[i] != '=')
            continue;
        ++i;
        while (i < end && (head[i] == ' ' || head[i] == '\t' || head[i] == '"' || head[i] == '\''))
            ++i;
        const qsizetype start = i;
        while (i < end && isCharsetNameChar(head[i]))
            ++i;
        if (i > start)
            return head.mid(start, i - start);
    }
    return {};
}

// Drops "<!-- URL -->" and the empty line after it; returns the URL.
QString takeUrlLine(QString &text)
{
    if (!text.startsWith(QLatin1String("<!-- ")))
        return {};
    qsizetype eol = 0;
    while (eol < text.size() && text[eol] != u'\r' && text[eol] != u'\n')
        ++eol;
    const QStringView first = QStringView(text).left(eol);
    if (!first.endsWith(QLatin1String(" -->")))
        return {};
    const QString url = first.mid(5, first.size() - 9).toString();
    qsizetype pos = eol;
    for (int breaks = 0; breaks < 2 && pos < text.size(); ++breaks) {
        if (text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n')
            pos += 2;
        else if (text[pos] == u'\r' || text[pos] == u'\n')
            pos += 1;
        else
            break;
    }
    text.remove(0, pos);
    return url;
}

// The body element's text, from "<body" to the end of the last "</body>".
QString bodyOf(const QString &text)
{
    qsizetype start = -1;
    for (qsizetype at = text.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(QLatin1String("<body"), at + 5, Qt::CaseInsensitive)) {
        const QChar after = at + 5 < text.size() ? text[at + 5] : QChar();
        if (after == u'>' || after == u'/' || (after.unicode() != 0 && after.unicode() <= 32)) {
            start = at;
            break;
        }
    }
    if (start < 0)
        return text;
    const qsizetype close = text.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
    const qsizetype end = close > start ? close + 7 : text.size();
    return text.mid(start, end - start);
}

QString numberText(float value)
{
    if (value == 0)
        return QStringLiteral("0"); // also the zero of a debt of 0
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, result.ptr - buf);
}

} // namespace

QString DecodePageBytes(const QByteArray &bytes, QByteArray *encoding)
{
    const auto use = [&](const char *name) {
        if (encoding)
            *encoding = name;
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        use("UTF-8");
        return QStringDecoder(QStringDecoder::Utf8).decode(QByteArrayView(bytes).sliced(3));
    }
    if (bytes.startsWith("\xFF\xFE")) {
        use("UTF-16LE");
        return QStringDecoder(QStringDecoder::Utf16LE).decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        use("UTF-16BE");
        return QStringDecoder(QStringDecoder::Utf16BE).decode(QByteArrayView(bytes).sliced(2));
    }
    const QByteArray declared = metaCharset(bytes);
    if (IsKnownCharset(declared)) {
        if (encoding)
            *encoding = declared;
        return DecodeByCharset(bytes, declared);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        use("UTF-8");
        return text;
    }
    use("windows-1251");
    return FromCp1251(bytes);
}

SavedPage ReadSavedPage(const QByteArray &bytes)
{
    SavedPage page;
    QString text = DecodePageBytes(bytes, &page.encoding);
    page.url = takeUrlLine(text);
    page.html = bodyOf(text);
    return page;
}

QStringList FigureLines(const TIssa &issa)
{
    const auto line = [](const char *field, const QString &value) {
        return value.isEmpty() ? QLatin1String(field) + u':' : QLatin1String(field) + QStringLiteral(": ") + value;
    };
    return {
        line("LicSchet", issa.LicSchet),
        line("UserName", issa.UserName),
        line("PhoneNumber", issa.PhoneNumber),
        line("Balance", numberText(issa.Balance)),
        line("ObPlat", numberText(issa.ObPlat)),
        line("Average", numberText(issa.Average)),
        line("TurnOff", QString::number(issa.TurnOff)),
        line("Recomend", numberText(issa.Recomend)),
        line("SMS", QString::number(issa.SMS)),
        line("Minutes", QString::number(issa.Minutes)),
        line("JeansExpired", QString::number(issa.JeansExpired)),
        line("USDRate", numberText(issa.USDRate)),
    };
}
