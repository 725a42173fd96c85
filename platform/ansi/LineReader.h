#pragma once
// Splits a text into lines at CR LF, a lone CR or a lone LF, without a final
// empty line after the last line end. Lines are views into the text.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace ansi {

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    std::string_view Next() {
        const char* base = text_.data();
        size_t n = text_.size();
        if (lf_ == kUnknown || lf_ < pos_) {
            const void* p = std::memchr(base + pos_, '\n', n - pos_);
            lf_ = p ? static_cast<size_t>(static_cast<const char*>(p) - base) : n;
        }
        size_t end = lf_;
        const void* cr = std::memchr(base + pos_, '\r', lf_ - pos_);
        size_t next;
        if (cr) {
            end = static_cast<size_t>(static_cast<const char*>(cr) - base);
            next = end + 1 == lf_ ? lf_ + 1 : end + 1;
        } else {
            next = lf_ + 1;
        }
        std::string_view line(base + pos_, end - pos_);
        pos_ = next;
        return line;
    }

private:
    static constexpr size_t kUnknown = ~size_t(0);
    std::string_view text_;
    size_t pos_ = 0;
    size_t lf_ = kUnknown;  // the next LF at or after pos_ (text size: none)
};

}  // namespace ansi
