#include "MarkerScanner.h"

#include <deque>
#include <stdexcept>

MarkerScanner::MarkerScanner(std::span<const QStringView> markers)
{
    if (markers.size() > 32)
        throw std::invalid_argument("MarkerScanner: more than 32 markers");

    // Character classes: one per folded letter that occurs in a marker.
    std::array<std::uint8_t, kTableSize> classOfFolded{};
    unsigned classes = 1;
    for (QStringView marker : markers) {
        if (marker.isEmpty())
            throw std::invalid_argument("MarkerScanner: empty marker");
        for (QChar ch : marker) {
            const char16_t f = AnsiUpperChar(ch.unicode());
            if (f >= kTableSize || f == u'\r' || f == u'\n')
                throw std::invalid_argument("MarkerScanner: marker character out of range");
            if (classOfFolded[f] == 0)
                classOfFolded[f] = std::uint8_t(classes++);
        }
    }
    if (classes >= kBreak)
        throw std::invalid_argument("MarkerScanner: too many distinct characters");
    while ((1u << classShift_) < classes)
        ++classShift_;
    const unsigned width = 1u << classShift_;
    for (char16_t c = 0; c < kTableSize; ++c)
        classOf_[c] = classOfFolded[AnsiUpperChar(c)];
    classOf_[u'\r'] = kBreak;
    classOf_[u'\n'] = kBreak;

    // The trie of the markers; -1 marks a missing edge.
    std::vector<int> edge(width, -1);
    std::vector<std::uint32_t> found(1, 0);
    for (std::size_t k = 0; k < markers.size(); ++k) {
        int state = 0;
        for (QChar ch : markers[k]) {
            const unsigned cls = classOf_[ch.unicode()];
            int &target = edge[state * width + cls];
            if (target < 0) {
                target = int(found.size());
                found.push_back(0);
                edge.resize(edge.size() + width, -1);
            }
            state = edge[state * width + cls];
        }
        found[state] |= 1u << k;
    }
    const std::size_t states = found.size();
    if (states * width > 0xFFFF)
        throw std::invalid_argument("MarkerScanner: markers too long");

    // Failure links, breadth first, turning the trie into a complete automaton:
    // every state knows its successor for every class, and the markers of every
    // shorter suffix that ends with it.
    std::vector<int> fail(states, 0);
    std::deque<int> queue;
    for (unsigned c = 0; c < width; ++c) {
        int &target = edge[c];
        if (target < 0) {
            target = 0;
        } else {
            fail[target] = 0;
            queue.push_back(target);
        }
    }
    while (!queue.empty()) {
        const int state = queue.front();
        queue.pop_front();
        found[state] |= found[fail[state]];
        for (unsigned c = 0; c < width; ++c) {
            int &target = edge[state * width + c];
            const int viaFail = edge[fail[state] * width + c];
            if (target < 0) {
                target = viaFail;
            } else {
                fail[target] = viaFail;
                queue.push_back(target);
            }
        }
    }

    next_.resize(edge.size());
    for (std::size_t i = 0; i < edge.size(); ++i)
        next_[i] = std::uint16_t(edge[i] * width);
    found_ = std::move(found);
}

std::vector<PageLine> MarkerScanner::lines(QStringView page) const
{
    std::vector<PageLine> result;
    scan(page, [&](const PageLine &line) { result.push_back(line); });
    return result;
}
