#include "SavedPage.h"

#include "Encoding.h"

#include <QStringDecoder>
#include <charconv>

namespace {

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
        return QStringLiteral("0");  // also the zero of a debt of 0
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, result.ptr - buf);
}

}  // namespace

QString DecodePageBytes(const QByteArray &bytes, QByteArray *encoding)
{
    const auto use = [&](const char *name) {
        if (encoding)
            *encoding = name;
    };
    qsizetype markLength = 0;
    const QByteArray marked = BomEncoding(bytes, &markLength);
    if (!marked.isEmpty()) {
        if (encoding)
            *encoding = marked;
        return DecodeByCharset(bytes.sliced(markLength), marked);
    }
    const QByteArray declared = MetaCharset(bytes);
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
