#include "app/catalogue/Sorting.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace {

unsigned char Folded(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

// Sorts the rows by their keys with a stable radix sort, 16 bits at a time
// from the lowest; a pass is made only for a digit that differs between
// keys (MIDs and disk counts below 65536 take one pass).
template <class Key>
void RadixSort(std::vector<Key>& keys, std::vector<uint32_t>& rows) {
    if (keys.empty()) return;
    Key differing = 0;
    for (Key k : keys) differing |= k ^ keys[0];
    std::vector<Key> nextKeys;
    std::vector<uint32_t> nextRows;
    std::vector<uint32_t> count;
    for (unsigned shift = 0; shift < 8 * sizeof(Key); shift += 16) {
        if ((differing >> shift & 0xFFFF) == 0) continue;
        auto digit = [shift](Key k) { return static_cast<size_t>(k >> shift) & 0xFFFF; };
        if (nextKeys.empty()) {
            nextKeys.resize(keys.size());
            nextRows.resize(rows.size());
        }
        count.assign(size_t(1) << 16, 0);
        for (Key k : keys) ++count[digit(k)];
        uint32_t at = 0;
        for (uint32_t& c : count) at += std::exchange(c, at);
        for (size_t i = 0; i < keys.size(); ++i) {
            const uint32_t place = count[digit(keys[i])]++;
            nextKeys[place] = keys[i];
            nextRows[place] = rows[i];
        }
        keys.swap(nextKeys);
        rows.swap(nextRows);
    }
}

// The rows of numbers by value, then the others in their present order.
// The values become unsigned keys in the wanted order: the sign bit
// flipped, every bit for descending. The MIDs' values are kept with the
// rows; other columns are read.
std::vector<uint32_t> NumericOrder(const RecordStore& rows, int column, bool descending) {
    const size_t n = rows.size();
    std::vector<uint32_t> keys(n), order(n), others;
    size_t numbers = 0;
    const uint32_t flip = descending ? 0xFFFFFFFFu : 0u;
    auto add = [&](size_t i, std::optional<int> v) {
        if (v) {
            keys[numbers] = (static_cast<uint32_t>(*v) ^ 0x80000000u) ^ flip;
            order[numbers++] = static_cast<uint32_t>(i);
        } else {
            others.push_back(static_cast<uint32_t>(i));
        }
    };
    if (column == FieldMID)
        for (size_t i = 0; i < n; ++i) add(i, rows.MidNumber(i));
    else
        for (size_t i = 0; i < n; ++i) add(i, ansi::TryStrToInt(rows.Field(i, column)));
    keys.resize(numbers);
    order.resize(numbers);
    RadixSort(keys, order);
    order.insert(order.end(), others.begin(), others.end());
    return order;
}

// Texts: sorted by their first eight bytes (RecordStore::SortPrefix; the
// title's is kept with each row), then each run of rows with the same
// prefix by the whole folded text, which only ties need; equal keys keep
// their present order.
std::vector<uint32_t> TextOrder(const RecordStore& rows, int column, bool descending) {
    const size_t n = rows.size();
    std::vector<uint64_t> keys(n);
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        uint64_t key = column == FieldTitle ? rows.TitlePrefix(i) : RecordStore::SortPrefix(rows.Field(i, column));
        keys[i] = descending ? ~key : key;
        order[i] = static_cast<uint32_t>(i);
    }
    RadixSort(keys, order);
    auto less = [&rows, column](uint32_t a, uint32_t b) {
        std::string_view x = rows.Field(a, column), y = rows.Field(b, column);
        for (size_t k = 0; k < x.size() && k < y.size(); ++k)
            if (Folded(x[k]) != Folded(y[k])) return Folded(x[k]) < Folded(y[k]);
        return x.size() < y.size();
    };
    for (size_t from = 0; from < n;) {
        size_t to = from + 1;
        while (to < n && keys[to] == keys[from]) ++to;
        auto first = order.begin() + static_cast<ptrdiff_t>(from), last = order.begin() + static_cast<ptrdiff_t>(to);
        // Columns of a few values (genres, say) make long runs of equal
        // texts, which are in order already.
        const bool same = std::all_of(first + 1, last,
                                      [&](uint32_t r) { return !less(*first, r) && !less(r, *first); });
        if (!same) {
            if (descending) std::stable_sort(first, last, [&less](uint32_t a, uint32_t b) { return less(b, a); });
            else
                std::stable_sort(first, last, less);
        }
        from = to;
    }
    return order;
}

}  // namespace

bool IsNumericColumn(int column) { return column == FieldMID || column == FieldDisks; }

std::vector<uint32_t> SortOrder(const RecordStore& rows, int column, bool descending) {
    return IsNumericColumn(column) ? NumericOrder(rows, column, descending) : TextOrder(rows, column, descending);
}
