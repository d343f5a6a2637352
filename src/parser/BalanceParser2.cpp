#include "BalanceParser2.h"

#include "Failure.h"
#include "Readers.h"

#include <algorithm>
#include <optional>

namespace {

// ---------------------------------------------------------------- text helpers

constexpr char16_t latinLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
}

template <class Fold> QString foldedCopy(QStringView text, Fold fold)
{
    QString out(text.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const char16_t *src = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i)
        dst[i] = fold(src[i]);
    return out;
}

// Replaces every occurrence of ref (lower-case ASCII), Latin letters folded,
// left to right; the replacement is not scanned again.
QString replaceAllNoCase(const QString &text, QStringView ref, QStringView replacement)
{
    qsizetype from = 0;
    qsizetype hit = -1;
    bool replaced = false;
    QString out;
    for (;;) {
        hit = text.indexOf(u'&', hit + 1);
        if (hit < 0 || hit + ref.size() > text.size())
            break;
        bool match = true;
        for (qsizetype k = 1; k < ref.size() && match; ++k)
            match = latinLower(text.at(hit + k).unicode()) == ref[k].unicode();
        if (!match)
            continue;
        if (!replaced)
            out.reserve(text.size());
        replaced = true;
        out += QStringView(text).mid(from, hit - from);
        out += replacement;
        from = hit + ref.size();
        hit = from - 1;
    }
    if (!replaced)
        return text;
    out += QStringView(text).mid(from);
    return out;
}

// ---------------------------------------------------------------- the rules

enum Rule : unsigned {
    AccountImage,  // 1
    AccountLabel,  // 2
    UserLabel,  // 3
    PersonImage,  // 4
    SubscriberLabel,  // 5
    PhoneLabel,  // 6
    RateLabel,  // 7
    BalanceLabel,  // 8
    PromisedLabel,  // 9
    AverageLabel,  // 10
    TurnOffLabel,  // 11
    PrepaySentence,  // 12
    RecommendShort,  // 13
    SmsLatin,  // 14
    SmsCyrillic,  // 15
    LocalMinutes,  // 16
    FreeMinutes,  // 17
    TypedMinutes,  // 18
    LocalMinutesColon,  // 19
    TypedMinutes00,  // 20
    TypedMinutes01,  // 21
    PeriodSentence,  // 22
    BalanceSentence,  // 23
    OnAccountLabel,  // 24
    DebtSentence,  // 25
    TurnOffSentence,  // 26
    RuleCount
};

constexpr QStringView kRuleMarkers[RuleCount] = {
    u"/account.gif",
    u"Лицевой счет: ",
    u"пользователь:",
    u"person.gif",
    u"Абонент",
    u"номер телефона:",
    u"внутренний курс на сегодня",
    u"актуальный баланс",
    u"обещанного платежа",
    u"средняя скорость расходования",
    u"предположительная дата отключения",
    u"предоплаты составляет",
    u"рек.опл:",
    u"sms составляет ",
    u"смс составляет ",
    u"локальная связь составляет ",
    u"бесплатных разговоров составляет ",
    u"разговоров типа составляет ",
    u"локальная связь составляет :",
    u"разговоров типа составляет 00:",
    u"разговоров типа составляет 01:",
    u"истекает менее чем через ",
    u"вашего лицевого счета равен ",
    u"На счету",
    u"задолженность вашего лицевого счета равна ",
    u"ожидается менее, чем через ",
};

const MarkerScanner &ruleScanner()
{
    static const MarkerScanner scanner(kRuleMarkers);
    return scanner;
}

// Label rules: the value is the whole stripped line, or the number at its start.
QString labelText(QStringView line)
{
    return GetStringParam(line, {}, {}, QString());
}
float labelNumber(QStringView line)
{
    return GetSingleParam(line, {}, u" ", 0);
}

// The rules for line i, in their order; each condition is read at its moment.
// lineAt(k) gives line k and throws the index error when it does not exist.
template <class LineAt> void applyRules(std::uint32_t found, qsizetype i, LineAt &&lineAt, TIssa &r)
{
    const auto has = [found](Rule rule) { return (found & (1u << rule)) != 0; };
    const QStringView line = lineAt(i);
    const QStringView next = lineAt(i + 1);

    if (has(AccountImage))
        r.LicSchet = labelText(next);
    if (has(AccountLabel) && r.LicSchet.isEmpty()) {
        r.LicSchet = labelText(next);
        if (r.LicSchet.isEmpty())
            r.LicSchet = labelText(lineAt(i + 3));
    }
    if (has(UserLabel)) {
        r.UserName = labelText(next);
        if (r.UserName.isEmpty())
            r.UserName = labelText(lineAt(i + 3));
    }
    if (has(PersonImage) && r.UserName.isEmpty())
        r.UserName = labelText(next);
    if (has(SubscriberLabel) && r.UserName.isEmpty())
        r.UserName = labelText(next);
    if (has(PhoneLabel))
        r.PhoneNumber = labelText(next);
    if (has(RateLabel))
        r.USDRate = labelNumber(next);
    if (has(BalanceLabel))
        r.Balance = labelNumber(next);
    if (has(PromisedLabel))
        r.ObPlat = labelNumber(next);
    if (has(AverageLabel))
        r.Average = labelNumber(next);
    if (has(TurnOffLabel))
        r.TurnOff = GetIntegerParam(next, {}, u" ", 0);
    if (has(PrepaySentence))
        r.Recomend = GetSingleParam(line, u"предоплаты составляет ", u" ", 0);
    if (has(RecommendShort) && r.Recomend == 0)
        r.Recomend = GetSingleParam(line, u"рек.опл: ", u" ", 0);
    if (has(SmsLatin))
        r.SMS = GetIntegerParam(line, kRuleMarkers[SmsLatin], u" ", 0);
    if (has(SmsCyrillic) && r.SMS == 0)
        r.SMS = GetIntegerParam(line, kRuleMarkers[SmsCyrillic], u" ", 0);
    if (has(LocalMinutes))
        r.Minutes = GetIntegerParam(line, kRuleMarkers[LocalMinutes], u" ", 0);
    if (has(FreeMinutes) && r.Minutes == 0)
        r.Minutes = GetIntegerParam(line, kRuleMarkers[FreeMinutes], u" ", 0);
    if (has(TypedMinutes) && r.Minutes == 0)
        r.Minutes = GetIntegerParam(line, kRuleMarkers[TypedMinutes], u" ", 0);
    if (has(LocalMinutesColon) && r.Minutes == 0)
        r.Minutes = GetIntegerParam(line, kRuleMarkers[LocalMinutesColon], u":", 0);
    if (has(TypedMinutes00) && r.Minutes == 0)
        r.Minutes = GetIntegerParam(line, kRuleMarkers[TypedMinutes00], u":", 0);
    if (has(TypedMinutes01) && r.Minutes == 0) {
        r.Minutes = GetIntegerParam(line, kRuleMarkers[TypedMinutes01], u":", 0);
        if (r.Minutes != 0)  // hour 01: sixty more, in the field's 32-bit arithmetic
            r.Minutes = std::int32_t(std::uint32_t(r.Minutes) + 60u);
    }
    if (has(PeriodSentence))
        r.JeansExpired = GetIntegerParam(line, kRuleMarkers[PeriodSentence], u" ", 0);
    if (has(BalanceSentence) && r.Balance == 0)
        r.Balance = GetSingleParam(line, kRuleMarkers[BalanceSentence], u" ", 0);
    if (has(OnAccountLabel) && r.Balance == 0)
        r.Balance = labelNumber(next);
    if (has(DebtSentence) && r.Balance == 0)
        r.Balance = -GetSingleParam(line, kRuleMarkers[DebtSentence], u" ", 0);
    if (has(TurnOffSentence) && r.TurnOff == 0)
        r.TurnOff = GetIntegerParam(line, kRuleMarkers[TurnOffSentence], u" ", 0);
}

}  // namespace

// ---------------------------------------------------------------- text routines

QString HtmlToStr(QStringView text)
{
    return guarded(THIS_ROUTINE, [&] {
        QString s = text.toString();
        if (!s.contains(u'&'))
            return s;
        static constexpr QStringView passes[][2] = {
            {u"&nbsp;", u" "},  {u"&lt;", u"<"},  {u"&gt;", u">"},
            {u"&quote;", u";"}, {u"&amp;", u"&"}, {u"&quot;", u"\""},
        };
        for (const auto &pass : passes)
            s = replaceAllNoCase(s, pass[0], pass[1]);
        return s;
    });
}

QString RemoveTags(QStringView line)
{
    return guarded(THIS_ROUTINE, [&] {
        // Deleting "<...>" and searching again from the start is the same as
        // walking on: the text kept so far holds neither "<" nor ">".
        const qsizetype first = line.indexOf(u'<');
        QString kept;
        if (first < 0) {
            kept = line.toString();
        } else {
            const QStringView s = line.mid(first);
            qsizetype cur = 0;
            for (;;) {
                const qsizetype open = s.indexOf(u'<', cur);
                const qsizetype close = open < 0 ? -1 : s.indexOf(u'>', cur);
                if (open < 0 || close < open) {
                    kept += s.mid(cur);
                    break;
                }
                kept += s.mid(cur, open - cur);
                cur = close + 1;
            }
        }
        return TrimControls(HtmlToStr(kept));
    });
}

qsizetype PosNoCase(QStringView subText, QStringView text)
{
    if (subText.isEmpty())
        return 0;
    const QString sub = foldedCopy(subText, latinLower);
    const QString hay = foldedCopy(text, latinLower);
    return hay.indexOf(sub) + 1;
}

bool ContainsNoCase(QStringView text, QStringView subText)
{
    if (subText.isEmpty())
        return false;
    return foldedCopy(text, AnsiUpperChar).contains(foldedCopy(subText, AnsiUpperChar));
}

// ---------------------------------------------------------------- value readers

QString GetStringParam(QStringView text, QStringView startMarker, QStringView endMarker, const QString &defaultValue)
{
    return guarded(THIS_ROUTINE, [&] {
        QString s = RemoveTags(text);
        // A marker found goes together with what precedes it; a marker not found
        // still takes as many leading characters as it is long.
        qsizetype p = PosNoCase(startMarker, s);
        if (p == 0)
            p = 1;
        s.remove(0, startMarker.size() + p - 1);
        qsizetype q = PosNoCase(endMarker, s);
        if (q == 0)
            q = s.size() + 1;
        s.truncate(q - 1);
        return s.isEmpty() ? defaultValue : s;
    });
}

float GetSingleParam(QStringView text, QStringView startMarker, QStringView endMarker, float defaultValue)
{
    return guarded(THIS_ROUTINE, [&] {
        return FigureToFloat(GetStringParam(text, startMarker, endMarker, QString())).value_or(defaultValue);
    });
}

std::int32_t GetIntegerParam(QStringView text, QStringView startMarker, QStringView endMarker,
                             std::int32_t defaultValue)
{
    return guarded(THIS_ROUTINE, [&] {
        return FigureToInt(GetStringParam(text, startMarker, endMarker, QString())).value_or(defaultValue);
    });
}

// ---------------------------------------------------------------- the page

std::span<const QStringView> BalanceRuleMarkers()
{
    return kRuleMarkers;
}

std::vector<PageLine> ScanBalancePage(QStringView html)
{
    return ruleScanner().lines(html);
}

void ParseBalans(QStringView html, TIssa &issa)
{
    guarded(THIS_ROUTINE, [&] {
        ClearIssa(issa);
        // Line i is interpreted once line i + 3 is known (or the page has ended):
        // its rules read lines i, i + 1 and i + 3. The last four lines are kept.
        PageLine recent[4];
        qsizetype count = 0;
        const auto lineAt = [&](qsizetype k) -> QStringView {
            if (k >= count)
                throw SaldomatError(QStringLiteral("List index out of bounds (%1)").arg(k));
            const PageLine &l = recent[k & 3];
            return html.mid(l.start, l.length);
        };
        const auto interpret = [&](qsizetype i) {
            if (const std::uint32_t found = recent[i & 3].markers)
                applyRules(found, i, lineAt, issa);
        };
        ruleScanner().scan(html, [&](const PageLine &line) {
            recent[count & 3] = line;
            ++count;
            if (count >= 4)
                interpret(count - 4);
        });
        // The last line is never a marker line.
        for (qsizetype i = std::max<qsizetype>(0, count - 3); i <= count - 2; ++i)
            interpret(i);
    });
}
