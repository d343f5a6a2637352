// parser_bench: how fast ParseBalans reads an account page, against a floor
// measured in the same run: one case-folding pass over the same page as it
// arrives (windows-1251, one byte a character) through a 256-entry table into a
// buffer made beforehand. Reading a page without regard to case cannot do less.
//
// Pages: the account page of the corpus (label rows) lengthened by a payment
// history table, as a long real page is, to 30 KB and 300 KB; sizes are in
// characters, which is bytes in windows-1251. Throughput is in MB/s (10^6).
//
// The parser and the floor run 5 times each; after the run the program prints
// the ratios of their least CPU and wall times per page, for both pages. The
// "Growth" benchmarks check that the time stays linear in the size: on realistic pages
// up to 5 MB, on one line of up to 4 MB full of tags and markers, and on pages
// of NUL characters, each fitted to O(N); a small RMS and a steady MB/s across
// the sizes say that it is linear.

#include "BalanceParser2.h"
#include "Encoding.h"
#include "LeastTimes.h"
#include "MarkerScanner.h"
#include "SavedPage.h"

#include <QFile>
#include <array>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString accountPage()
{
    QFile file(QStringLiteral(SALDOMAT_PAGES_DIR "/account-labels.utf8.html"));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "parser_bench: cannot read %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    return ReadSavedPage(file.readAll()).html;
}

// The account page with payment history rows before its footer, size characters long.
QString pageOfSize(qsizetype size)
{
    static const QString base = accountPage();
    QString rows = QStringLiteral("<h2>История платежей</h2>\n<table class=\"history\">\n");
    const qsizetype room = size - base.size() - 10;
    for (int n = 0; rows.size() < room; ++n)
        rows += QStringLiteral("<tr>\n<td>%1.03.2009 14:%2</td>\n<td>Платеж через терминал, квитанция %3</td>\n"
                               "<td>%4,00 руб.</td>\n</tr>\n")
                    .arg(1 + n % 28, 2, 10, QLatin1Char('0'))
                    .arg(n % 60, 2, 10, QLatin1Char('0'))
                    .arg(100000 + n)
                    .arg(100 + n % 900);
    rows += QStringLiteral("</table>\n");
    QString page = base;
    page.insert(page.indexOf(QStringLiteral("<div id=\"footer\">")), rows);
    return page;
}

// One line of tags and sentence markers, read by every sentence rule, after a
// label whose value it is.
QString longLinePage(qsizetype size)
{
    const QString chunk = QStringLiteral(
        "<b>Остаток смс составляет 7 шт.</b><i>sms составляет 8</i> локальная связь составляет :9: "
        "<span>разговоров типа составляет 01:20:00</span> истекает менее чем через 3 дн. &nbsp;&amp; ");
    QString line = QStringLiteral("<td>");
    while (line.size() < size)
        line += chunk;
    return QStringLiteral("<td>Пользователь:</td>\n") + line + QStringLiteral("</td>\n</body>");
}

QString nulPage(qsizetype size)
{
    QString page = QStringLiteral("<td>Актуальный баланс:</td>\n<td>");
    page += QString(size, QChar(0));
    page += QStringLiteral("12,5</td>\n</body>");
    return page;
}

// The const form: this library's DoNotOptimize(T&) can write junk back into a float.
void keep(const TIssa &issa)
{
    const float balance = issa.Balance;
    benchmark::DoNotOptimize(balance);
}

void setThroughput(benchmark::State &state, qsizetype size)
{
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["MB"]
        = benchmark::Counter(double(size) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// The windows-1251 letter fold of the parser as a table of the 256 bytes.
std::array<unsigned char, 256> foldTable()
{
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const QString c = FromCp1251(QByteArray(1, static_cast<char>(b)));
        const QByteArray upper = ToCp1251(QString(QChar(AnsiUpperChar(c.at(0).unicode()))));
        table[static_cast<size_t>(b)] = static_cast<unsigned char>(upper.size() == 1 ? upper[0] : b);
    }
    return table;
}

void BM_Floor(benchmark::State &state)
{
    const QByteArray page = ToCp1251(pageOfSize(state.range(0)));
    const std::array<unsigned char, 256> table = foldTable();
    QByteArray folded(page.size(), Qt::Uninitialized);
    const auto *in = reinterpret_cast<const unsigned char *>(page.constData());
    auto *out = reinterpret_cast<unsigned char *>(folded.data());
    const qsizetype n = page.size();
    for (auto _ : state) {
        for (qsizetype i = 0; i < n; ++i)
            out[i] = table[in[i]];
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    if (folded.indexOf(ToCp1251(QStringLiteral("АКТУАЛЬНЫЙ БАЛАНС"))) < 0)
        state.SkipWithError("the folded page lacks its marker");
    setThroughput(state, page.size());
}

void BM_ParseBalans(benchmark::State &state)
{
    const QString page = pageOfSize(state.range(0));
    TIssa issa;
    for (auto _ : state) {
        ParseBalans(page, issa);
        keep(issa);
    }
    if (issa.Balance != 245.5f)
        state.SkipWithError("the page did not read as expected");
    setThroughput(state, page.size());
}

template <QString (*MakePage)(qsizetype)> void BM_Growth(benchmark::State &state)
{
    const QString page = MakePage(state.range(0));
    TIssa issa;
    for (auto _ : state) {
        ParseBalans(page, issa);
        keep(issa);
    }
    state.SetComplexityN(page.size());
    setThroughput(state, page.size());
}

constexpr int k30K = 30 * 1024;
constexpr int k300K = 300 * 1024;

BENCHMARK(BM_Floor)->Arg(k30K)->Arg(k300K)->Repetitions(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseBalans)->Arg(k30K)->Arg(k300K)->Repetitions(5)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Growth, pageOfSize)
    ->Name("Growth/realistic")
    ->RangeMultiplier(4)
    ->Range(80 * 1024, 5 * 1024 * 1024)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Growth, longLinePage)
    ->Name("Growth/one_line")
    ->RangeMultiplier(4)
    ->Range(64 * 1024, 4 * 1024 * 1024)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Growth, nulPage)
    ->Name("Growth/nul")
    ->RangeMultiplier(4)
    ->Range(64 * 1024, 4 * 1024 * 1024)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    return RunAgainstFloors(argc, argv, "Least times per page of 5 runs:", [](const LeastTimes &reporter) {
        reporter.printRatio("ParseBalans, 30 KB page", "BM_ParseBalans/30720", "BM_Floor/30720", "us");
        reporter.printRatio("ParseBalans, 300 KB page", "BM_ParseBalans/307200", "BM_Floor/307200", "us");
    });
}
