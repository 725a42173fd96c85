#include "app/catalogue/Sorting.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace {

unsigned char Folded(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

}  // namespace

bool IsNumericColumn(int column) { return column == FieldMID || column == FieldDisks; }

std::vector<uint32_t> SortOrder(const RecordStore& rows, int column, bool descending) {
    const size_t n = rows.size();
    std::vector<uint32_t> order;
    order.reserve(n);
    if (IsNumericColumn(column)) {
        // Numbers first, sorted; the others after them in their present order.
        std::vector<std::pair<int, uint32_t>> numbers;
        numbers.reserve(n);
        std::vector<uint32_t> others;
        for (size_t i = 0; i < n; ++i) {
            if (auto v = ansi::TryStrToInt(rows.Field(i, column))) numbers.emplace_back(*v, static_cast<uint32_t>(i));
            else others.push_back(static_cast<uint32_t>(i));
        }
        auto byValue = [descending](const auto& a, const auto& b) {
            return descending ? a.first > b.first : a.first < b.first;
        };
        std::stable_sort(numbers.begin(), numbers.end(), byValue);
        for (const auto& [v, i] : numbers) order.push_back(i);
        order.insert(order.end(), others.begin(), others.end());
        return order;
    }
    // Texts: fold each key once into one buffer, then compare the folded
    // keys byte by byte; a key that begins a longer one comes first.
    std::vector<size_t> start(n + 1);
    for (size_t i = 0; i < n; ++i) start[i + 1] = start[i] + rows.Field(i, column).size();
    std::string folded(start[n], '\0');
    for (size_t i = 0; i < n; ++i) {
        std::string_view f = rows.Field(i, column);
        std::transform(f.begin(), f.end(), folded.begin() + static_cast<ptrdiff_t>(start[i]), [](char c) {
            return static_cast<char>(Folded(c));
        });
    }
    std::vector<std::pair<std::string_view, uint32_t>> keys;
    keys.reserve(n);
    for (size_t i = 0; i < n; ++i)
        keys.emplace_back(std::string_view(folded).substr(start[i], start[i + 1] - start[i]), static_cast<uint32_t>(i));
    // string_view compares bytes as unsigned char, as the text order wants.
    if (descending)
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    else
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& k : keys) order.push_back(k.second);
    return order;
}
