#pragma once
// Ordering the catalogue by one column of the film list. "#" and "Disks"
// compare as whole numbers; every other column as text in which only the
// ASCII letters a-z are folded onto A-Z, all other bytes by their code, and
// a text that begins a longer one comes first.

#include "catalogue/RecordStore.h"

#include <cstdint>
#include <vector>

// Whether the column compares as whole numbers.
bool IsNumericColumn(int column);

// Greater than 0 when row1 belongs after row2 in the given sort, less than 0
// when before, 0 when the pair is not ordered. In numeric columns a text that
// is not a whole number belongs after every number, and two such texts are
// not ordered.
int CompareRows(const RecordStore& rows, size_t row1, size_t row2, int column, bool descending);

// The rows in sorted order (entry i: the row that goes to place i). Rows
// that compare equal keep their present order.
std::vector<uint32_t> SortOrder(const RecordStore& rows, int column, bool descending);
