// Numeric helpers shared by the EDF library and the filters:
//  - log-float coding: a 16-bit code that holds a scaled, signed logarithm of a real value, so
//    that quantities spanning many orders of magnitude (and either sign) fit an EDF sample;
//  - FindRoot: a regula-falsi root finder used to turn a smoothing frequency into a coefficient.
#pragma once

#include <cstdint>
#include <functional>

namespace vantrel {

// Largest magnitude of a log-float code; -32768 is never produced.
inline constexpr int kLogFloatMaxCode = 32767;

// The code of x for the smallest resolved magnitude Y0 (> 0) and the logarithmic step A (> 0):
//   x >  Y0: round((ln x - ln Y0) / A), at most  32767
//   x < -Y0: round((ln Y0 - ln(-x)) / A), at least -32767
//   otherwise (and for NaN or parameters that give no number): 0.
// Computed in long double exactly in that form; rounding is to nearest, ties to even.
int LogFloatEncode(double x, double Y0, double A);

// The value of code d: Y0 * e^(A*d) for d > 0, -Y0 * e^(-A*d) for d < 0, 0 for d = 0.
long double LogFloatDecode(int16_t d, double Y0, double A);
long double LogFloatDecode(int32_t d, double Y0, double A);

// v rounded to the nearest integer, ties to even, whatever the floating-point rounding mode.
long double RoundHalfEven(long double v);

// Function whose root FindRoot searches.
using TRootFunction = std::function<long double(long double)>;

// Regula falsi on [x1, x2]. Returns false (root = x1 - 1) when F(x1) and F(x2) do not differ in
// sign. Otherwise iterates until |F(x)| <= tol, or until |F(x)| stops changing, and returns true
// with root = x and tol = |F(x)| (the residual, so the caller learns how close it got).
// The search also ends, returning false, when an iterate is not a finite number or after
// kFindRootMaxIterations steps, so that a degenerate function can never hang the caller.
bool FindRoot(const TRootFunction& F, long double x1, long double x2, long double& tol,
              long double& root);

inline constexpr int kFindRootMaxIterations = 100000;

}  // namespace vantrel
