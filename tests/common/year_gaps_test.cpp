#include "common/year_gaps.hpp"

#include <gtest/gtest.h>

namespace soil_climate {
namespace {

TEST(YearGaps, OnlyYearNumbersMoreThanOneApartHaveGaps) {
    struct gap_case {
        const char* earlier;
        const char* later;
        int rows;
    };
    for (const gap_case c : {gap_case{"2002", "2003", 0}, {"2002", "2005", 2}, {"2002", "2002", 0},
                             {"2005", "2002", 0}, {"1990", "2001", 10}, {"1990", "2002", 1}, {"1", "999999", 1},
                             {"2002a", "2005", 0}, {"-5", "5", 0}, {"", "5", 0}, {"1234567", "1234569", 0}}) {
        EXPECT_EQ(gap_rows(c.earlier, c.later), c.rows) << c.earlier << " " << c.later;
    }
    EXPECT_EQ(gap_row_label("1990", "2001", 9), "2000");
    EXPECT_EQ(gap_row_label("1990", "2002", 0), "1991-2001");
}

}  // namespace
}  // namespace soil_climate
