#include "engine/gain_curve_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Distance between a result and the C library's in units in its last place.
double ulps(double a, double reference) {
    if (a == reference)
        return 0;
    const double magnitude = std::fabs(reference);
    return std::fabs(a - reference) / (std::nextafter(magnitude, INFINITY) - magnitude);
}

TEST(GainCurveMath, ExpAgreesWithTheCLibraryOnItsDomain) {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> whole(-708, 709), curve(-17.33, 5);
    double worst = 0;
    for (int i = 0; i < 400000; ++i) {
        const double x = i % 2 ? whole(random) : curve(random);
        worst = std::max(worst, ulps(gain_curve_math::exp(x), std::exp(x)));
    }
    EXPECT_LE(worst, 2.0);
    EXPECT_EQ(gain_curve_math::exp(0.0), 1.0);
    EXPECT_NEAR(gain_curve_math::exp(-25 * 0.6931471805599453), std::exp2(-25.0), 1e-22);
    EXPECT_LE(ulps(gain_curve_math::exp(-708.0), std::exp(-708.0)), 2.0);
}

TEST(GainCurveMath, LogAgreesWithTheCLibraryOnItsDomain) {
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> mantissa(1, 2);
    std::uniform_int_distribution<int> exponent(0, 1000);
    double worst = 0;
    for (int i = 0; i < 400000; ++i) {
        const double x = i % 4 ? std::ldexp(mantissa(random), exponent(random) % (i % 2 ? 1000 : 8))
                               : 1.0 + std::ldexp(mantissa(random), -int(exponent(random) % 50));
        const double expected = std::log(x);
        worst = std::max(worst, ulps(gain_curve_math::log(x), expected));
    }
    EXPECT_LE(worst, 2.0);
    EXPECT_EQ(gain_curve_math::log(1.0), 0.0);
    EXPECT_NEAR(gain_curve_math::log(16.0), 4 * 0.6931471805599453, 1e-15);
    EXPECT_NEAR(gain_curve_math::log(0x1p1000), 1000 * 0.6931471805599453, 1e-12);
}

} // namespace
