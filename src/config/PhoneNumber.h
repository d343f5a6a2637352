#pragma once
// A phone number as people type it ("+7 (916) 123-45-67", "8 916 123 45 67",
// "916-123-45-67") turned into the ten digits that the ISSA login expects.
// The setup dialog and saldomat-cli both take numbers through here.

#include <QString>
#include <optional>

// The ten digits, or nothing when the text is not a number of ten digits
// (optionally after "+7", "7" or "8"), written with digits, blanks, brackets,
// dots and dashes only.
std::optional<QString> NormalizePhoneNumber(const QString &typed);

// Why NormalizePhoneNumber refused the text, for the user.
QString PhoneNumberProblem(const QString &typed);
