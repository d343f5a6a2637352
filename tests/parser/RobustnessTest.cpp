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
const QString kAccount = QStringLiteral("account-labels");

QString accountBody()
{
    return ReadSavedPage(CorpusBytes(kAccount)).html;
}

QStringList figures(const QString &page)
{
    const QStringList lines = ReadLines(page);
    EXPECT_FALSE(lines.last().startsWith(QStringLiteral("Error: "))) << lines.last().toStdString();
    return lines;
}
}  // namespace

TEST(Robustness, AFiveMegabytePageReadsLikeTheSmallOne)
{
    // Payment history rows, as a long account page lists them.
    QString rows = QStringLiteral("<h2>История платежей</h2>\n<table class=\"history\">\n");
    for (int n = 0; rows.size() < 5 * 1024 * 1024; ++n)
        rows += QStringLiteral("<tr>\n<td>%1.03.2009 14:%2</td>\n<td>Платеж через терминал, квитанция %3</td>\n"
                               "<td>%4,00 руб.</td>\n</tr>\n")
                    .arg(1 + n % 28, 2, 10, QLatin1Char('0'))
                    .arg(n % 60, 2, 10, QLatin1Char('0'))
                    .arg(100000 + n)
                    .arg(100 + n % 900);
    QString page = accountBody();
    page.insert(page.indexOf(QStringLiteral("<div id=\"footer\">")), rows + QStringLiteral("</table>\n"));
    EXPECT_EQ(figures(page), CorpusExpected(kAccount));
    EXPECT_EQ(CheckParseBalansPage(page), QString());
}

TEST(Robustness, OneLineOfAMegabyte)
{
    // A whole page on one line: fewer than two lines, nothing is read.
    QString flat = accountBody().replace(u'\n', u' ');
    EXPECT_EQ(figures(flat + QString(1024 * 1024 - flat.size(), u'x')), figures(QString()));
    // A value of a megabyte.
    const QString name = QStringLiteral("Иван ").repeated(200 * 1024);
    EXPECT_EQ(Parse(QStringLiteral("<td>Пользователь:</td>\n<td>") + name + QStringLiteral("</td>\n</body>")).UserName,
              name.trimmed());
    // A megabyte of tags and markers on the line a sentence rule reads.
    const QString line = QStringLiteral("<b>смс составляет 7 шт.</b>").repeated(40000);
    EXPECT_EQ(Parse(QStringLiteral("<td>") + line + QStringLiteral("</td>\n</body>")).SMS, 7);
    // A megabyte of "<" without a ">": nothing to strip.
    const QString open(1024 * 1024, u'<');
    EXPECT_EQ(Parse(QStringLiteral("<td>Пользователь:</td>\n") + open + QStringLiteral("\n</body>")).UserName, open);
}

TEST(Robustness, NulCharactersAreOrdinaryCharacters)
{
    // A NUL at the start of every line goes with the text before the first tag.
    const QString nul(QChar(0));
    EXPECT_EQ(figures(accountBody().replace(u'\n', QStringLiteral("\n") + nul)), CorpusExpected(kAccount));
    // Around a value it is trimmed like a blank.
    EXPECT_EQ(Parse(QStringLiteral("<td>Актуальный баланс:</td>\n<td>") + nul + QStringLiteral("12,5") + nul
                    + QStringLiteral("</td>\n"))
                  .Balance,
              12.5f);
    // In the bytes of a windows-1251 file.
    QByteArray bytes = CorpusBytes(kAccount, "cp1251");
    bytes.replace("\r\n<td", QByteArray("\r\n\0<td", 6));
    EXPECT_EQ(figures(ReadSavedPage(bytes).html), CorpusExpected(kAccount));
}

TEST(Robustness, AnotherEncoding)
{
    const QString text = QString::fromUtf8(CorpusBytes(kAccount));
    QStringEncoder koi8("KOI8-R");
    // Declared: read right.
    QString declared = text;
    declared.replace(QStringLiteral("charset=utf-8"), QStringLiteral("charset=koi8-r"));
    EXPECT_EQ(figures(ReadSavedPage(koi8.encode(declared)).html), CorpusExpected(kAccount));
    // Not declared: taken for windows-1251; only the Latin markers still match.
    QString undeclared = text;
    undeclared.replace(QStringLiteral("charset=utf-8"), QStringLiteral("charset=none"));
    const SavedPage page = ReadSavedPage(koi8.encode(undeclared));
    EXPECT_EQ(page.encoding, QByteArray("windows-1251"));
    const TIssa r = Parse(page.html);
    EXPECT_EQ(r.LicSchet, QStringLiteral("4951234567"));
    EXPECT_EQ(r.Balance, 0.0f);
    EXPECT_EQ(r.PhoneNumber, QString());
    // UTF-16 without a byte order mark: nothing matches, nothing fails.
    QStringEncoder utf16("UTF-16LE");
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
    for (const QString &file : kept.entryList(QDir::Files))
        if (!file.endsWith(QLatin1String(".md"))) {
            EXPECT_EQ(CheckParseBalansInput(ReadFileBytes(kept.filePath(file))), QString()) << file.toStdString();
        }
}
