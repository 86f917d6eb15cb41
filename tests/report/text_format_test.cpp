#include "report/text_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace soil_climate {
namespace {

std::string printed(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The fast cells must print exactly what the documented conversions print, ties and all.
TEST(TextFormat, FixedCellsMatchPrintfByteForByte) {
    std::vector<double> values{0.0, -0.0, 0.0005, 0.0015, 2.34375, 0.25, 1.05, 2.675, -3.25, -0.04, 0.05,
                               9.9999, 99.95, 123456.789, 1e20, -1e-300, 4.9406564584124654e-324,
                               std::numeric_limits<double>::max()};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-2000.0, 2000.0);
    std::uniform_int_distribution<int> thousandths(-2000000, 2000000);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(wide(random));
        values.push_back(thousandths(random) / 1000.0 + 0.0005);  // near-ties
        values.push_back(thousandths(random) / 20.0);            // exact halves
    }
    std::uniform_real_distribution<double> small(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 40);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(std::ldexp(small(random), exponent(random)));  // every scale, both sides of 1e12
        values.push_back(std::nextafter(thousandths(random) / 200.0, 1e9));  // a unit beside a tie
    }
    struct conversion {
        const char* format;
        int width;
        int precision;
    };
    const conversion conversions[] = {{"%6.3lf", 6, 3}, {"%8.1lf", 8, 1}, {"%4.0lf", 4, 0}, {"%.6lf", 0, 6}};
    for (const double value : values) {
        for (const conversion& c : conversions) {
            std::string cell;
            append_fixed(cell, value, c.width, c.precision);
            ASSERT_EQ(cell, printed(c.format, value)) << value;
        }
    }
}

TEST(TextFormat, IntegerCellsMatchPrintf) {
    for (const int value : {0, 7, -7, 12, 99, 100, 360, -360, 123456789, std::numeric_limits<int>::min()}) {
        for (const int width : {2, 3, 6, 8}) {
            std::string cell;
            append_integer(cell, value, width);
            char expected[32];
            std::snprintf(expected, sizeof expected, "%*d", width, value);
            EXPECT_EQ(cell, expected) << value << " in " << width;
        }
    }
}

TEST(TextFormat, LongTextIsFormattedWhole) {
    const std::string name(1000, 'n');
    std::string text = "<";
    append_format(text, "%s|%d", name.c_str(), 42);
    EXPECT_EQ(text, "<" + name + "|42");
}

}  // namespace
}  // namespace soil_climate
