#pragma once
// What must hold for ParseBalans on any page, checked on one fuzzer input. Shared
// by the libFuzzer target and the regression tests that replay saved inputs.

#include <QByteArrayView>
#include <QString>

// The input's last byte chooses how the bytes become page text: 0 as windows-1251,
// 1 as a saved page file (byte order mark, meta charset, UTF-8 or windows-1251,
// "<!-- URL -->" line, body), 2 as raw UTF-16 code units (any, lone surrogates too).
QString PageFromFuzzInput(QByteArrayView data);

// Runs ParseBalans on the page and returns the first broken promise, or an empty
// text: the only failure is the labelled index error; the reset fields stay reset
// and LoadedPages is untouched; texts read come from one line and are trimmed; the
// same page reads the same twice; and, for pages up to 64 K characters, the lines
// and markers found by the one-pass scanner are those of a plain line split and
// ContainsNoCase.
QString CheckParseBalansPage(const QString &page);

inline QString CheckParseBalansInput(QByteArrayView data)
{
    return CheckParseBalansPage(PageFromFuzzInput(data));
}
