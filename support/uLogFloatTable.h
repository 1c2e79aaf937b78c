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
#pragma once

#include <cstdint>
#include <vector>

namespace vantrel {

class TLogFloatTable {
  public:
    // Builds the tables (a few milliseconds); Y0 > 0 and A > 0.
    TLogFloatTable(double Y0, double A);

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

    // The smallest double whose code is at least `code` (1 .. 32767).
    double Boundary(int code) const { return FBoundary[code]; }

  private:
    int PositiveCode(double magnitude) const;
    uint64_t Key(double x) const;

    double FY0 = 0, FA = 0;
    std::vector<double> FBoundary;      // [c], c = 1 .. 32767; [0] is Y0
    int FShift = 0;                     // bits of the double below the bucket key
    uint64_t FFirstKey = 0;             // key of Y0
    std::vector<int16_t> FBucketCode;   // code at the lower edge of each bucket
    std::vector<long double> FDecoded;  // value of the code |d|, d = 0 .. 32768
};

}  // namespace vantrel
