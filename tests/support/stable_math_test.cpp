#include "support/stable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using stable_math::detail::fastExp;
using stable_math::detail::fastLog;
using stable_math::detail::libraryExp;
using stable_math::detail::libraryLog;

uint16_t x87Control() {
    uint16_t control;
    __asm__ volatile("fnstcw %0" : "=m"(control) : : "memory");
    return control;
}

void setX87Control(uint16_t control) {
    __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
}

constexpr uint16_t kPrecision53 = 0x27f, kPrecision64 = 0x37f;

struct Random {
    uint64_t state = 0x9e3779b97f4a7c15;
    double unit() { // [0, 1)
        state = state * 6364136223846793005u + 1442695040888963407u;
        return double(state >> 11) * 0x1p-53;
    }
};

double nextUp(double x, int steps) {
    return steps > 0 ? nextUp(std::nextafter(x, INFINITY), steps - 1) : x;
}

// Arguments a mistake would show on: random ones over the whole range, the edges of the
// reduction's intervals and of the ranges, and neighbours of each.
std::vector<double> expArguments() {
    std::vector<double> args;
    Random random;
    for (int i = 0; i < 1000000; ++i)
        args.push_back(32 * random.unit() - 16);
    for (int i = 0; i < 200000; ++i) // small arguments, down to 2^-40
        args.push_back((random.unit() < 0.5 ? -1 : 1) *
                       std::ldexp(1 + random.unit(), -int(40 * random.unit())));
    for (int k = -1480; k <= 1480; ++k) // multiples of ln2/64 and halfway between them
        for (double at : {k * 0.010830424696249145, (k + 0.5) * 0.010830424696249145})
            for (int steps = -2; steps <= 2; ++steps)
                args.push_back(steps < 0 ? -nextUp(-at, -steps) : nextUp(at, steps));
    for (double edge : {0.0, -0.0, 16.0, -16.0, 0x1p-60, -0x1p-60, 1.0, -1.0})
        args.push_back(edge);
    return args;
}

std::vector<double> logArguments() {
    std::vector<double> args;
    Random random;
    for (int i = 0; i < 600000; ++i) // any magnitude
        args.push_back(std::ldexp(1 + random.unit(), int(2000 * random.unit()) - 1000));
    for (int i = 0; i < 400000; ++i) // the levels a compressor sees
        args.push_back(std::ldexp(1 + random.unit(), -int(30 * random.unit())));
    for (int i = 0; i < 200000; ++i) // around 1, where the result is small
        args.push_back(1 + (random.unit() - 0.5) * std::ldexp(1, -int(50 * random.unit())));
    for (int j = 0; j <= 128; ++j) // the table's interval edges, in several octaves
        for (int octave = -3; octave <= 3; ++octave)
            for (int steps = -2; steps <= 2; ++steps)
                args.push_back(std::ldexp(nextUp(0.6875 + j * (0.6875 / 128), steps + 2), octave));
    for (double edge : {1 - 0x1p-8, 1 + 0x1p-8}) // where the way near 1 ends
        for (int steps = -2; steps <= 2; ++steps)
            args.push_back(steps < 0 ? -nextUp(-edge, -steps) : nextUp(edge, steps));
    for (double edge : {1.0, 0x1p-1000, 0x1p1000, 2.0, 0.5})
        args.push_back(edge);
    return args;
}

// What each function gives at 64-bit precision, the program's main-thread setting.
template <typename Function> std::vector<double> libraryResults(const std::vector<double>& args, Function f) {
    const uint16_t saved = x87Control();
    setX87Control(kPrecision64);
    std::vector<double> results;
    for (double x : args)
        results.push_back(f(x));
    setX87Control(saved);
    return results;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(StableMathFastPaths, GiveTheLibrarysBitsWhereverTheyAnswer) {
    struct Case {
        const char* name;
        std::vector<double> args;
        bool (*fast)(double, double&);
        double (*library)(double);
    };
    const Case cases[] = {{"exp", expArguments(), fastExp, [](double x) { return std::exp(x); }},
                          {"log", logArguments(), fastLog, [](double x) { return std::log(x); }}};
    for (const Case& c : cases) {
        const std::vector<double> expected = libraryResults(c.args, c.library);
        size_t answered = 0, wrong = 0;
        for (size_t i = 0; i < c.args.size(); ++i) {
            double result;
            if (!c.fast(c.args[i], result))
                continue;
            ++answered;
            if (!sameBits(result, expected[i]) && ++wrong <= 5)
                ADD_FAILURE() << c.name << "(" << std::hexfloat << c.args[i] << ") gave " << result
                              << ", the library " << expected[i];
        }
        EXPECT_EQ(wrong, 0u) << c.name;
        // The fast path must carry the bulk, or the plug-in pays the x87's price after all.
        EXPECT_GT(double(answered), 0.85 * double(c.args.size())) << c.name;
    }
}

TEST(StableMathFastPaths, DeclineWhatTheyDoNotCover) {
    double result = 0;
    for (double x : {double(NAN), double(INFINITY), -double(INFINITY), 16.5, -700.0, 710.0})
        EXPECT_FALSE(fastExp(x, result)) << x;
    for (double x : {double(NAN), double(INFINITY), -1.0, 0.0, -0.0, 0x1p-1070, 0x1p-1020, 0x1p1020})
        EXPECT_FALSE(fastLog(x, result)) << x;
    // ... and the public functions still answer them as the library does.
    EXPECT_EQ(stable_math::exp(-700.0), libraryExp(-700.0));
    EXPECT_TRUE(std::isinf(stable_math::exp(710.0)));
    EXPECT_EQ(stable_math::log(1.0), 0.0);
    EXPECT_TRUE(std::isinf(stable_math::log(0.0)) && stable_math::log(0.0) < 0);
    EXPECT_TRUE(std::isnan(stable_math::log(-1.0)));
    EXPECT_EQ(stable_math::log(0x1p-1070), libraryLog(0x1p-1070));
}

// A host's threads start at 53-bit x87 precision; there the library's exp and pow differ from
// the main thread's. The plug-in's must not.
TEST(StableMath, SameBitsOnAHostThreadAsOnTheMainThread) {
    std::vector<double> args;
    Random random;
    for (int i = 0; i < 20000; ++i)
        args.push_back(40 * random.unit() - 20); // beyond the fast path's range too
    const std::vector<double> exp64 = libraryResults(args, [](double x) { return std::exp(x); });
    const std::vector<double> pow64 = libraryResults(args, [](double x) { return std::pow(1.7, x); });
    const std::vector<double> log64 = libraryResults(args, [](double x) { return std::log(x + 20.5); });

    size_t plainDiffers = 0, stableDiffers = 0;
    uint16_t controlAfter = 0;
    std::thread host([&] {
        setX87Control(kPrecision53);
        for (size_t i = 0; i < args.size(); ++i) {
            plainDiffers +=
                !sameBits(std::exp(args[i]), exp64[i]) + !sameBits(std::pow(1.7, args[i]), pow64[i]);
            stableDiffers += !sameBits(stable_math::exp(args[i]), exp64[i]) +
                             !sameBits(stable_math::pow(1.7, args[i]), pow64[i]) +
                             !sameBits(stable_math::log(args[i] + 20.5), log64[i]);
        }
        controlAfter = x87Control();
    });
    host.join();
    EXPECT_GT(plainDiffers, args.size() / 20) << "53-bit precision no longer shows in the library";
    EXPECT_EQ(stableDiffers, 0u);
    EXPECT_EQ(controlAfter, kPrecision53) << "the thread's own setting must come back";
}

} // namespace
