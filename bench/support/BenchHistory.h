#pragma once
// A generated history for the benchmarks: BenchPhones phones, BenchQueriesPerDay
// queries a day for each, the rows ending today.

#include <QString>

inline constexpr int BenchPhones = 100;
inline constexpr int BenchQueriesPerDay = 8;

// The number of phone i (0 to BenchPhones - 1), as the generated rows store it.
QString BenchPhoneNumber(int i);

// Creates the history file and fills it with days * BenchQueriesPerDay *
// BenchPhones rows, every row with the given dollar rate. Returns the number of
// rows; throws SaldomatError when the file cannot be made.
long long GenerateHistory(const QString &file, int days, double usdRate);
