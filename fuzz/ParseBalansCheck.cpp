#include "ParseBalansCheck.h"

#include "BalanceParser2.h"
#include "Encoding.h"
#include "Failure.h"
#include "SavedPage.h"

#include <cstring>

namespace {

constexpr qsizetype kScannerCheckLimit = 64 * 1024;

TIssa junkRecord()
{
    TIssa r;
    r.PhoneID = 7;
    r.LicSchet = QStringLiteral("old");
    r.Alias = QStringLiteral("alias");
    r.UserName = QStringLiteral("old");
    r.PhoneNumber = QStringLiteral("old");
    r.Balance = r.Average = r.Recomend = r.ObPlat = r.USDRate = 9;
    r.TurnOff = r.SMS = r.Minutes = r.JeansExpired = 9;
    r.BalDelta = 5;
    r.QueryDateTime = 40000.5;
    r.Success = true;
    r.ErrorMsg = QStringLiteral("old error");
    r.LoadedPages = {QStringLiteral("kept")};
    r.State = dsError;
    return r;
}

bool isTrimmedLineText(const QString &s)
{
    if (s.contains(u'\r') || s.contains(u'\n'))
        return false;
    return s.isEmpty() || (s.front().unicode() > 32 && s.back().unicode() > 32);
}

// Lines as plainly defined: split at CR, LF or CR LF; no empty line after a final break.
QString checkScanner(const QString &page)
{
    const std::vector<PageLine> lines = ScanBalancePage(page);
    const auto markers = BalanceRuleMarkers();
    qsizetype pos = 0;
    std::size_t n = 0;
    while (pos < page.size()) {
        qsizetype end = pos;
        while (end < page.size() && page[end] != u'\r' && page[end] != u'\n')
            ++end;
        if (n >= lines.size())
            return QStringLiteral("scanner: too few lines");
        const PageLine &l = lines[n];
        if (l.start != pos || l.length != end - pos)
            return QStringLiteral("scanner: line %1 at %2+%3, expected %4+%5")
                .arg(n)
                .arg(l.start)
                .arg(l.length)
                .arg(pos)
                .arg(end - pos);
        const QStringView text = QStringView(page).mid(pos, end - pos);
        for (std::size_t r = 0; r < markers.size(); ++r) {
            const bool scanned = (l.markers >> r) & 1u;
            if (scanned != ContainsNoCase(text, markers[r]))
                return QStringLiteral("scanner: line %1, marker %2 \"%3\": scanner says %4")
                    .arg(n)
                    .arg(r + 1)
                    .arg(markers[r].toString())
                    .arg(scanned);
        }
        ++n;
        if (end < page.size() && page[end] == u'\r' && end + 1 < page.size() && page[end + 1] == u'\n')
            ++end;
        pos = end + 1;
    }
    if (n != lines.size())
        return QStringLiteral("scanner: %1 lines, expected %2").arg(lines.size()).arg(n);
    return {};
}

}  // namespace

QString PageFromFuzzInput(QByteArrayView data)
{
    if (data.isEmpty())
        return {};
    const QByteArray bytes = data.toByteArray();
    switch (static_cast<unsigned char>(data.back()) % 3) {
    case 0:
        return FromCp1251(bytes);
    case 1:
        return ReadSavedPage(bytes).html;
    default: {
        QString page(bytes.size() / 2, Qt::Uninitialized);
        std::memcpy(page.data(), bytes.constData(), std::size_t(page.size()) * 2);
        return page;
    }
    }
}

QString CheckParseBalansPage(const QString &page)
{
    TIssa r = junkRecord();
    QString failure;
    try {
        ParseBalans(page, r);
    } catch (const SaldomatError &e) {
        failure = e.message();
        if (!failure.startsWith(QLatin1String("BalanceParser2.ParseBalans -- > List index out of bounds (")))
            return QStringLiteral("unexpected failure: ") + failure;
    } catch (const std::exception &e) {
        return QStringLiteral("exception without a label: ") + QString::fromLocal8Bit(e.what());
    }

    if (r.PhoneID != 0 || !r.Alias.isEmpty() || r.BalDelta != 0 || r.QueryDateTime != 0 || r.Success
        || !r.ErrorMsg.isEmpty() || r.State != dsNone)
        return QStringLiteral("the record was not reset");
    if (r.LoadedPages != QStringList{QStringLiteral("kept")})
        return QStringLiteral("LoadedPages changed");
    if (!isTrimmedLineText(r.LicSchet) || !isTrimmedLineText(r.UserName) || !isTrimmedLineText(r.PhoneNumber))
        return QStringLiteral("a text figure is not one trimmed line");

    TIssa again = junkRecord();
    QString againFailure;
    try {
        ParseBalans(page, again);
    } catch (const SaldomatError &e) {
        againFailure = e.message();
    }
    if (againFailure != failure || FigureLines(again) != FigureLines(r))
        return QStringLiteral("a second reading differs");

    if (page.size() <= kScannerCheckLimit)
        return checkScanner(page);
    return {};
}
