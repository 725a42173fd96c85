#pragma once
// Ordering the catalogue by one column of the film list. "#" and "Disks"
// compare as whole numbers; every other column as text in which only the
// ASCII letters a-z are folded onto A-Z, all other bytes by their code, and
// a text that begins a longer one comes first.

#include "app/catalogue/RecordStore.h"

#include <cstdint>
#include <vector>

// Whether the column compares as whole numbers.
bool IsNumericColumn(int column);

// The rows in sorted order (entry i: the row that goes to place i). Rows
// that compare equal keep their present order. In numeric columns a text
// that is not a whole number belongs after every number, in both
// directions.
std::vector<uint32_t> SortOrder(const RecordStore& rows, int column, bool descending);
