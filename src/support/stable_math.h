// exp, log and pow with the same bits on every thread.
//
// The MinGW-w64 C library works these out on the x87 unit, whose precision setting belongs to
// the calling thread: a program's main thread runs at 64 bits, but the threads a host creates
// start at 53, and there exp and pow differ from the 64-bit results in the last bit for about
// one argument in six. The plug-in works out its coefficients on whichever thread calls it, so
// on Windows these run the library at 64-bit precision whatever the thread's setting. exp and
// log first try a fast path of their own (the x87 ones take about 13 and 30 ns under Wine,
// these about 10 and 13), which returns a result only where its error bound shows that the
// exact value, and so the library's, cannot round to another double. Elsewhere they are the
// C library's own functions.
#pragma once

#include <cmath>

namespace stable_math {

#ifdef _WIN32

double exp(double x);
double log(double x);
double pow(double x, double y);

namespace detail {
// The fast paths: true with the library's result, or false where they cannot be sure of it.
bool fastExp(double x, double& result);
bool fastLog(double x, double& result);
// The C library at 64-bit x87 precision.
double libraryExp(double x);
double libraryLog(double x);
} // namespace detail

#else

inline double exp(double x) {
    return std::exp(x);
}
inline double log(double x) {
    return std::log(x);
}
inline double pow(double x, double y) {
    return std::pow(x, y);
}

#endif

} // namespace stable_math
