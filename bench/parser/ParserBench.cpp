// parser_bench: how fast ParseBalans reads an account page, against a baseline
// measured in the same run: one pass that upper-cases the page text and searches
// it for one marker (the least any case-insensitive reading of the page costs).
// Two baselines: QString::toUpper (full Unicode), and the stricter one, the
// windows-1251 letter fold of ContainsNoCase done by table into a new string.
//
// Pages: the account page of the corpus (label rows) lengthened by a payment
// history table, as a long real page is, to 30 KB and 300 KB; sizes are in
// characters, which is bytes in windows-1251. Throughput is in MB/s (10^6).
//
// After the run the program prints the ratio ParseBalans / baseline for both pages
// and both baselines (target: at most 5). The "Growth" benchmarks check that the
// time stays linear in the size: on realistic pages up to 5 MB, on one line of up
// to 4 MB full of tags and markers, and on pages of NUL characters, each fitted to
// O(N); a small RMS and a steady MB/s across the sizes say that it is linear.

#include "BalanceParser2.h"
#include "SavedPage.h"

#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

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

void BM_Baseline(benchmark::State &state)
{
    const QString page = pageOfSize(state.range(0));
    for (auto _ : state) {
        const QString upper = page.toUpper();
        benchmark::DoNotOptimize(upper.indexOf(QStringLiteral("АКТУАЛЬНЫЙ БАЛАНС")));
    }
    setThroughput(state, page.size());
}

// Written out rather than calling ContainsNoCase: a fixed baseline (fold the
// whole page by table into a new string, then search it once) that stays put
// when ContainsNoCase or the parser's scanning gets faster.
void BM_BaselineAnsiFold(benchmark::State &state)
{
    const QString page = pageOfSize(state.range(0));
    for (auto _ : state) {
        QString upper(page.size(), Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(upper.data());
        const char16_t *in = QStringView(page).utf16();
        for (qsizetype i = 0; i < page.size(); ++i)
            out[i] = AnsiUpperChar(in[i]);
        benchmark::DoNotOptimize(upper.indexOf(QStringLiteral("АКТУАЛЬНЫЙ БАЛАНС")));
    }
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

BENCHMARK(BM_Baseline)->Arg(k30K)->Arg(k300K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselineAnsiFold)->Arg(k30K)->Arg(k300K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseBalans)->Arg(k30K)->Arg(k300K)->Unit(benchmark::kMicrosecond);
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

// Remembers the CPU time per iteration of every run (steadier than the wall clock
// on a busy machine), to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        for (const char *baseline : {"BM_Baseline", "BM_BaselineAnsiFold"}) {
            for (const int size : {k30K, k300K}) {
                const auto base = times_.find(runName(baseline, size));
                const auto parse = times_.find(runName("BM_ParseBalans", size));
                if (base == times_.end() || parse == times_.end())
                    continue;
                const double ratio = parse->second / base->second;
                std::printf("ParseBalans / %s, %d KB page: %.2f (target <= 5): %s\n", baseline + 3, size / 1024, ratio,
                    ratio <= 5 ? "met" : "MISSED");
            }
        }
    }

private:
    static std::string runName(const char *benchmark, int size)
    {
        char name[64];
        std::snprintf(name, sizeof name, "%s/%d", benchmark, size);
        return name;
    }

    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
