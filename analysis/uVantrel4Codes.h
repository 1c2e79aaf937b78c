// The log-float coding of the results file's SU, SS and smoothed signals (Y0 0.0001, A 0.001)
// by table: the same codes and values as LogFloatEncode and LogFloatDecode, without their
// logarithms and exponentials, which were most of the time of the stages after SU/SS.
// The engine's own coding; the reports use it where they must code exactly as the engine does.
#pragma once

#include <cstdint>

#include "analysis/uVantrel4.h"
#include "support/uLogFloatTable.h"
#include "support/uMath.h"

namespace vantrel::results {

// The boundaries and values of TLogFloatTable(kLogFloatY0, kLogFloatA), computed at build time
// by tools/make-code-table (a generated source of this library).
extern const double kCodeBoundaries[kLogFloatMaxCode + 1];
extern const long double kCodeValues[kLogFloatMaxCode + 2];

// Made on first use from the generated tables (well under a millisecond; thread-safe).
inline const TLogFloatTable& CodeTable() {
    static const TLogFloatTable table(kLogFloatY0, kLogFloatA, kCodeBoundaries, kCodeValues);
    return table;
}

// LogFloatEncode(x, 0.0001, 0.001) as a sample.
inline int16_t EncodeValue(double x) {
    return static_cast<int16_t>(CodeTable().Encode(x));
}

// LogFloatDecode(code, 0.0001, 0.001).
inline long double DecodeValue(int16_t code) {
    return CodeTable().Decode(code);
}

}  // namespace vantrel::results
