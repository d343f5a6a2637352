#pragma once
// Masking of stored passwords (phone list, proxy password): not a cipher, the
// two one-byte keys travel inside the text.
//
// Layout of the 54 upper-case hex digits (n = password length, 0..15):
//   K1 (2 digits), one filler digit, n (1 digit), n bytes XOR K2/K1 (odd/even
//   positions, 2 digits each), K2 (2 digits), 24-n filler bytes (2 digits each).

#include <QString>

inline constexpr int PasswMaxLength = 15;
inline constexpr int PasswEncodedLength = 54;

// Encodes the first 15 characters of plain (windows-1251 bytes); never empty.
QString EncodePass(const QString &plain);
// Decodes an encoded password; throws "Passw.DecodePass -- > ..." when the text
// is too short or a digit group it reads is not hexadecimal.
QString DecodePass(const QString &encoded);
