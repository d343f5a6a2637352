#pragma once
// Number <-> text as the program's files hold them: "." as the decimal
// separator whatever the locale, integers in decimal or "0x" hexadecimal.

#include <QString>
#include <cstdint>
#include <optional>

// Optional sign, then decimal digits or "0x"/"$" and hex digits; blanks around
// are ignored. Nothing when the text is not a 32-bit integer.
std::optional<std::int32_t> TextToInt(const QString &text);
// A finite decimal number with "." ("1.5", "-2", "1e3"); blanks around are
// ignored; "1,5", "inf" and "" are not numbers.
std::optional<double> TextToFloat(const QString &text);
// A finite number that also fits a 32-bit float, rounded to it.
std::optional<float> TextToFloat32(const QString &text);
// "1", "yes", "true" or "0", "no", "false", in any case, blanks around ignored.
std::optional<bool> TextToBool(const QString &text);
// General format with up to 15 significant digits: 2.5 -> "2.5",
// 2.6f widened -> "2.59999990463257", 1e20 -> "1E20".
QString FloatToText(double value);
