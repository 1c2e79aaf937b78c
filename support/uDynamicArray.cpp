#include "support/uDynamicArray.h"

#include <algorithm>

namespace vantrel {

void SetLengthAndFill(TDynSmallIntArray& array, int n, int16_t value) {
    array.assign(static_cast<size_t>(std::max(n, 0)), value);
}

void SetLengthAndFill(TDynBooleanArray& array, int n, bool value) {
    array.assign(static_cast<size_t>(std::max(n, 0)), value);
}

void FillSmallIntArray(TDynSmallIntArray& array, int16_t value) {
    std::fill(array.begin(), array.end(), value);
}

void AppendString(TDynStringArray& array, const std::string& text) {
    array.push_back(text);
}

}  // namespace vantrel
