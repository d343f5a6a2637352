// Pages no server should send: 5 MB, one line of 1 MB, NUL characters, another
// encoding, random bytes; and the inputs the fuzzer found worth keeping. None may
// crash or fail other than with the labelled index error. (How the time grows
// with the size is measured by parser_bench, not here.)

#include "Encoding.h"
#include "ParseBalansCheck.h"
#include "ParserTestUtil.h"

#include <QStringEncoder>
#include <random>

namespace {
const QString kAccount = u"account-labels"_s;

// The lines read, none of them an error.
QStringList figures(const QString &page)
{
    const QStringList lines = ReadLines(page);
    EXPECT_FALSE(lines.last().startsWith("Error: "_L1)) << lines.last().toStdString();
    return lines;
}
}  // namespace

TEST(Robustness, HugePagesLinesAndValuesNulsAndOtherEncodings)
{
    const QString body = ReadSavedPage(CorpusBytes(kAccount)).html;
    const QStringList expected = CorpusExpected(kAccount);
    // Five megabytes of payment history rows, as a long account page lists them.
    QString rows = u"<h2>История платежей</h2>\n<table class=\"history\">\n"_s;
    for (int n = 0; rows.size() < 5 * 1024 * 1024; ++n)
        rows += u"<tr>\n<td>1%1.03.2009</td>\n<td>Платеж через терминал, квитанция %2</td>\n"
                u"<td>%3,00 руб.</td>\n</tr>\n"_s.arg(QString::number(n % 9), QString::number(100000 + n),
                                                      QString::number(n % 900));
    QString page = body;
    page.insert(page.indexOf(u"<div id=\"footer\">"_s), rows + u"</table>\n"_s);
    EXPECT_EQ(figures(page), expected);
    EXPECT_EQ(CheckParseBalansPage(page), QString());

    // A whole page on one line of a megabyte: fewer than two lines, nothing is read.
    const QString flat = QString(body).replace(u'\n', u' ');
    EXPECT_EQ(figures(flat + QString(1024 * 1024 - flat.size(), u'x')), figures(QString()));
    // A value of a megabyte; a megabyte of tags and markers on the line a
    // sentence rule reads; a megabyte of "<" without a ">": nothing to strip.
    const QString name = u"Иван "_s.repeated(200 * 1024), open(1024 * 1024, u'<');
    EXPECT_EQ(Parse(u"<td>Пользователь:</td>\n<td>"_s + name + u"</td>\n</body>"_s).UserName, name.trimmed());
    EXPECT_EQ(Parse(u"<td>"_s + u"<b>смс составляет 7 шт.</b>"_s.repeated(40000) + u"</td>\n</body>"_s).SMS, 7);
    EXPECT_EQ(Parse(u"<td>Пользователь:</td>\n"_s + open + u"\n</body>"_s).UserName, open);

    // NUL is an ordinary character: at the start of every line it goes with the
    // text before the first tag; around a value it is trimmed like a blank.
    const QString nul(QChar(0));
    EXPECT_EQ(figures(QString(body).replace(u'\n', u"\n"_s + nul)), expected);
    EXPECT_EQ(Parse(u"<td>Актуальный баланс:</td>\n<td>"_s + nul + u"12,5"_s + nul + u"</td>\n"_s).Balance, 12.5f);
    QByteArray bytes = CorpusBytes(kAccount, "cp1251");
    bytes.replace("\r\n<td", QByteArray("\r\n\0<td", 6));
    EXPECT_EQ(figures(ReadSavedPage(bytes).html), expected);

    // KOI8-R declared: read right; not declared: taken for windows-1251, only
    // the Latin markers still match. UTF-16 without a mark: nothing matches or fails.
    const QString text = QString::fromUtf8(CorpusBytes(kAccount));
    QStringEncoder koi8("KOI8-R"), utf16("UTF-16LE");
    EXPECT_EQ(figures(ReadSavedPage(koi8.encode(QString(text).replace("=utf-8"_L1, "=koi8-r"_L1))).html), expected);
    const SavedPage undeclared = ReadSavedPage(koi8.encode(QString(text).replace("=utf-8"_L1, "=none"_L1)));
    const TIssa r = Parse(undeclared.html);
    EXPECT_TRUE(undeclared.encoding == "windows-1251" && r.LicSchet == u"4951234567"_s && r.Balance == 0.0f
                && r.PhoneNumber.isEmpty())
        << FigureLines(r).join(u'|').toStdString();
    EXPECT_EQ(figures(ReadSavedPage(utf16.encode(text)).html), figures(QString()));
}

// Random bytes in each of the fuzzer's input modes, every corpus page, and
// every input the fuzzer kept: every promise of ParseBalans holds.
TEST(Robustness, RandomBytesCorpusPagesAndKeptFuzzerInputsHoldEveryPromise)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (char mode = 0; mode < 3; ++mode) {
        QByteArray data(1024 * 1024, Qt::Uninitialized);
        for (char &c : data)
            c = char(byte(random));
        data[data.size() - 1] = mode;
        EXPECT_EQ(CheckParseBalansInput(data), QString()) << "mode " << int(mode);
    }
    for (const QString &name : CorpusNames())
        for (const char *encoding : {"utf8", "cp1251"})
            EXPECT_EQ(CheckParseBalansInput(CorpusBytes(name, encoding)), QString()) << name.toStdString();
    const QDir kept(QStringLiteral(SALDOMAT_FUZZ_REGRESSIONS));
    ASSERT_TRUE(kept.exists(u"README.md"_s)) << "no kept inputs at " << SALDOMAT_FUZZ_REGRESSIONS;
    for (const QString &file : kept.entryList(QDir::Files))
        EXPECT_TRUE(file.endsWith(".md"_L1) || CheckParseBalansInput(ReadFileBytes(kept.filePath(file))).isEmpty())
            << file.toStdString();
}
