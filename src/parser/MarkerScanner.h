#pragma once
// Splits a page into lines and tells, for every line, which of up to 32 markers
// it contains, with letters folded as ContainsNoCase folds them (Latin and the
// Cyrillic letters of windows-1251). One pass over the page with an Aho-Corasick
// automaton, so the cost does not grow with the number of markers: this is what
// keeps the account page parser near the speed of a single upper-casing pass.

#include <QStringView>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The upper-case letter of c as the windows-1251 ANSI upper-casing gives it:
// a-z, а-я, ѐ-џ (ё, ђ, ѓ, є, ѕ, і, ї, ј, љ, њ, ћ, ќ, ў, џ) and ґ. Every other
// character stays as it is.
constexpr char16_t AnsiUpperChar(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return char16_t(c - 0x20);
    if (c >= 0x0430 && c <= 0x044F)
        return char16_t(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F)
        return char16_t(c - 0x50);
    if (c == 0x0491)
        return 0x0490;
    return c;
}

// One line of a page: its place in the page (line break excluded) and a bit per
// marker found in it (bit k for the k-th marker given to the scanner).
struct PageLine {
    qsizetype start = 0;
    qsizetype length = 0;
    std::uint32_t markers = 0;
};

class MarkerScanner {
public:
    // At most 32 markers, none empty, none with a line break.
    explicit MarkerScanner(std::span<const QStringView> markers);

    // Calls onLine(PageLine) for every line in order. Lines end at CR, LF or the
    // pair CR LF; a final line break adds no empty line; an empty page has none.
    template <class OnLine> void scan(QStringView page, OnLine &&onLine) const;

    std::vector<PageLine> lines(QStringView page) const;

private:
    static constexpr std::uint8_t kBreak = 0xFF;
    static constexpr char16_t kTableSize = 0x0500;  // every marker letter folds below this

    std::array<std::uint8_t, kTableSize> classOf_{};  // class of the folded character; 0: in no marker
    unsigned classShift_ = 0;  // a state's row has 1 << classShift_ entries, one per class
    std::vector<std::uint16_t> next_;  // row start of the next state, at row start + class
    std::vector<std::uint32_t> found_;  // markers that end in a state, by state number
};

template <class OnLine> void MarkerScanner::scan(QStringView page, OnLine &&onLine) const
{
    const char16_t *data = page.utf16();
    const qsizetype size = page.size();
    const std::uint8_t *classOf = classOf_.data();
    const std::uint16_t *next = next_.data();
    const std::uint32_t *found = found_.data();
    qsizetype start = 0;
    const unsigned shift = classShift_;
    unsigned state = 0;  // row start of the current state
    std::uint32_t markers = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i];
        const unsigned cls = c < kTableSize ? classOf[c] : 0;
        if (cls == kBreak) [[unlikely]] {
            onLine(PageLine{start, i - start, markers});
            if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
                ++i;
            start = i + 1;
            state = 0;
            markers = 0;
            continue;
        }
        state = next[state + cls];
        markers |= found[state >> shift];
    }
    if (start < size)
        onLine(PageLine{start, size - start, markers});
}
