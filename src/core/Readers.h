#pragma once
// The one place where the program reads numbers, yes/no values and padded
// texts out of the texts of its files, pages and command line. Each reader
// names the format that needs it; where two formats need different rules
// there are two readers, and the comment says why.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// ---- numbers in the program's files (Saldomat.ini, servers.ini, phones.xml
// attributes), the setup dialog's fields, the grid's cells and command-line values

// Optional sign, then decimal digits or "0x"/"$" and hex digits; blanks around
// are ignored. Nothing when the text is not a 32-bit integer.
std::optional<std::int32_t> TextToInt(const QString &text);
// A finite decimal number with "." ("1.5", "-2", "1e3"); blanks around are
// ignored; "1,5", "inf" and "" are not numbers.
std::optional<double> TextToFloat(const QString &text);
// A finite number that also fits a 32-bit float, rounded to it.
std::optional<float> TextToFloat32(const QString &text);
// The writer's side: general format with up to 15 significant digits:
// 2.5 -> "2.5", 2.6f widened -> "2.59999990463257", 1e20 -> "1E20".
QString FloatToText(double value);

// ---- figures of the account page, and the Balance text of the history
// table. Unlike the files: "," is a decimal point as well as ".", only spaces
// are blanks, no hexadecimal, and a figure too small for a float reads 0.

// Spaces, sign, integer part, fraction, exponent, spaces. Out of the float
// range: nothing; below it: a signed zero.
std::optional<float> FigureToFloat(QStringView text);
// Leading spaces, sign, decimal digits, in the 32-bit range.
std::optional<std::int32_t> FigureToInt(QStringView text);

// ---- yes/no. phones.xml reads its "Monitor" and "TrayShow" attributes by one
// rule and "Individual" and "Keyring" by another (the Windows program did so);
// both read the "True"/"False" it writes the same.

// phones.xml "Monitor", "TrayShow": "True"/"False" in any case, or a decimal
// number (non-zero is true); nothing for any other text.
std::optional<bool> TickTextToBool(const QString &text);
// phones.xml "Individual", "Keyring": "TRUE", "YES", "1" in any case; any
// other text is false.
bool IsTrueText(const QString &text);
// Command-line values ("settings set", "phones set --monitor"): "1", "yes",
// "true" or "0", "no", "false", in any case, blanks around ignored.
std::optional<bool> TextToBool(const QString &text);

// ---- padding: phone numbers and passwords of phones.xml, names and URLs of
// servers.ini, proxy credentials, and the values of the account page lose the
// blanks and control characters (codes 0..32) at both ends.
QString TrimControls(const QString &text);
