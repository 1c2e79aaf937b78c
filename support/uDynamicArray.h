// Named growable arrays (indexed from 0) and the helpers that size and fill them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

using TDynByteArray = std::vector<uint8_t>;
using TDynSmallIntArray = std::vector<int16_t>;
// Extended precision: the coefficient and history arrays of the filters.
using TDynExtendedArray = std::vector<long double>;
// std::vector<bool> is packed; these flags are few and only read and written one by one.
using TDynBooleanArray = std::vector<bool>;
using TDynStringArray = std::vector<std::string>;

// The array gets n entries (none for n <= 0), all equal to value.
void SetLengthAndFill(TDynSmallIntArray& array, int n, int16_t value);
void SetLengthAndFill(TDynBooleanArray& array, int n, bool value);

// Every existing entry becomes value.
void FillSmallIntArray(TDynSmallIntArray& array, int16_t value);

// The array grows by one entry holding text.
void AppendString(TDynStringArray& array, const std::string& text);

}  // namespace vantrel
