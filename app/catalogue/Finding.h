#pragma once
// Finding films as the user types. The text is split into words at blanks;
// a film is found when every word occurs in at least one of its fields the
// list shows but the picture's file name (title, MID, genre, language,
// media, disks, status, viewed, rating, description). Both sides are
// compared folded: every letter of Windows-1252 loses its case and accents,
// and the ligatures are spelled out ("ß" -> "ss", "Œ" -> "oe", "Æ" -> "ae",
// "Þ" -> "th"), so "amelie" finds "Amélie" and "strasse" finds "Straße".
// No Qt: the words search the record store's own bytes, folding them as
// they go, and can stop half-way when another thread asks.

#include "app/catalogue/RecordStore.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The folded form of one Windows-1252 byte: one byte, or two for the
// ligatures.
std::string_view FoldedByte(unsigned char byte);
// The text with every byte folded.
AnsiString Folded(std::string_view text);

class FindWords {
public:
    // The text as the user typed it, in Windows-1252. Blanks and control
    // characters separate words; a text of blanks alone finds every film.
    explicit FindWords(std::string_view text);

    // No words: every film is shown.
    bool empty() const { return words_.empty(); }
    // The words, folded.
    const std::vector<AnsiString>& Words() const { return words_; }

    // Whether the film at place `film` of the store holds every word.
    bool Matches(const RecordStore& films, size_t film) const;
    // The places of the films found, in store order, among `among` (which
    // must be in store order) or among every film. Empty when `stop` was
    // set before the search ended.
    std::optional<std::vector<uint32_t>> Find(const RecordStore& films, const std::vector<uint32_t>* among = nullptr,
                                              const std::atomic<bool>* stop = nullptr) const;
    // Whether every film these words find is also found by `wider`: each
    // of its words lies inside one of these. Typing on at the end of a word
    // narrows the search, which then need look only at the films shown.
    bool Narrows(const FindWords& wider) const;

private:
    std::vector<AnsiString> words_;
};
