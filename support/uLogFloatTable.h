// Log-float coding by table for one pair (Y0, A): exactly the codes of LogFloatEncode and the
// values of LogFloatDecode (uMath.h), without a logarithm or an exponential per sample. The
// analysis codes and decodes millions of samples per recording with one pair of parameters,
// and the x87 logarithms and exponentials were most of its time.
//
// Encoding looks the value up among the code boundaries: boundary c is the smallest double
// that LogFloatEncode gives a code of at least c. A bucket index over the bits of the double
// (sign, exponent and the top mantissa bits) gives the code at the bucket's lower edge, and at
// most a step or two along the boundaries finds the code. Negative values take the negated
// code of their magnitude, as LogFloatEncode's two branches are each other's mirror.
//
// Decoding reads the value LogFloatDecode computed for the code when the table was built.
//
// Building the boundaries takes a few milliseconds (two logarithms or more per code); a program
// that codes with one fixed pair can take them from a source generated at build time instead
// (the second constructor), which leaves only the bucket index to build.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "support/uMath.h"

namespace vantrel {

class TLogFloatTable {
  public:
    // Builds the tables (a few milliseconds); Y0 > 0 and A > 0.
    TLogFloatTable(double Y0, double A);
    // Takes the boundaries (codes 0 .. 32767) and the values (codes 0 .. 32768) that the first
    // constructor computes for the same Y0 and A, made earlier; they must outlive the table.
    TLogFloatTable(double Y0, double A, const double* boundaries, const long double* values);
    TLogFloatTable(const TLogFloatTable&) = delete;
    TLogFloatTable& operator=(const TLogFloatTable&) = delete;

    // LogFloatEncode(x, Y0, A).
    int Encode(double x) const {
        if (!(x > FY0) && !(x < -FY0)) return 0;  // also NaN
        const double magnitude = x < 0 ? -x : x;
        const int code = PositiveCode(magnitude);
        return x < 0 ? -code : code;
    }
    // LogFloatDecode(d, Y0, A).
    long double Decode(int16_t d) const {
        return d < 0 ? -FDecoded[-static_cast<int32_t>(d)] : FDecoded[d];
    }

    // The smallest double whose code is at least `code` (1 .. 32767); Y0 for code 0.
    double Boundary(int code) const { return FBoundary[code]; }
    // LogFloatDecode(d, Y0, A) for d = 0 .. 32768.
    long double Value(int32_t d) const { return FDecoded[d]; }

  private:
    void BuildBuckets();
    // Inline, as Encode: the analysis codes millions of values.
    int PositiveCode(double magnitude) const {
        if (magnitude >= FBoundary[kLogFloatMaxCode]) return kLogFloatMaxCode;
        int code = FBucketCode[Key(magnitude)];
        // A bucket holds at most one boundary where it is narrower than a code step (A >=
        // 2^-12): one step without a branch, whose outcome the processor could not foresee.
        code += magnitude >= FBoundary[code + 1] ? 1 : 0;
        while (magnitude >= FBoundary[code + 1])
            ++code;
        return code;
    }
    uint64_t Key(double x) const { return (std::bit_cast<uint64_t>(x) >> FShift) - FFirstKey; }

    double FY0 = 0, FA = 0;
    std::vector<double> FOwnBoundary;       // the boundaries when built here
    std::vector<long double> FOwnDecoded;   // the values when built here
    const double* FBoundary = nullptr;      // [c], c = 1 .. 32767; [0] is Y0
    const long double* FDecoded = nullptr;  // value of the code |d|, d = 0 .. 32768
    int FShift = 0;                         // bits of the double below the bucket key
    uint64_t FFirstKey = 0;                 // key of Y0
    std::vector<int16_t> FBucketCode;       // code at the lower edge of each bucket
};

}  // namespace vantrel
