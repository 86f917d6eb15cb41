#include "soil_temperature/temperature_calendar.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace soil_climate {
namespace {

// Summer (June to August) 20 °C, winter (December to February) 4 °C, 12 °C otherwise:
// annual mean 12 °C, half the summer-winter difference 8 °C.
monthly_series seasonal_air() {
    return {4.0, 4.0, 12.0, 12.0, 12.0, 20.0, 20.0, 20.0, 12.0, 12.0, 12.0, 4.0};
}

// A year's calendar as a station run makes it: the curve's shape, then the year's values.
daily_temperatures calendar_of(const monthly_series& air, earth_hemisphere hemisphere, double soil_temp_offset,
                               double amplitude_factor, double phase_shift) {
    return temperature_calendar(air, temperature_curve_shape(hemisphere, phase_shift), soil_temp_offset,
                                amplitude_factor);
}

int warmest_day(const daily_temperatures& calendar) {
    return static_cast<int>(std::max_element(calendar.begin(), calendar.end()) - calendar.begin());
}

int coldest_day(const daily_temperatures& calendar) {
    return static_cast<int>(std::min_element(calendar.begin(), calendar.end()) - calendar.begin());
}

TEST(TemperatureCalendar, WarmestAndColdestDaysByHemisphereAndPhase) {
    struct shape {
        char hemisphere;
        double phase_shift;
        double amplitude_factor;
        int warmest;
        int coldest;
    };
    const shape cases[] = {
        {'N', 0.0, 1.0, 224, 44},    // 15 August, 15 February
        {'S', 0.0, 1.0, 134, 314},   // 15 May, 15 November
        {'N', 10.0, 1.0, 214, 34},   // a positive shift moves the curve earlier
        {'S', -20.0, 1.0, 154, 334},
        {'S', 90.0, 1.0, 44, 224},   // a southern soil warmest in February
        {'N', 0.0, -1.0, 44, 224},   // a negative factor turns the curve upside down
    };
    for (const shape& c : cases) {
        const daily_temperatures calendar = calendar_of(seasonal_air(), static_cast<earth_hemisphere>(c.hemisphere), 1.5, c.amplitude_factor, c.phase_shift);
        EXPECT_EQ(warmest_day(calendar), c.warmest) << c.hemisphere << " shift " << c.phase_shift;
        EXPECT_EQ(coldest_day(calendar), c.coldest) << c.hemisphere << " shift " << c.phase_shift;
        EXPECT_NEAR(calendar[c.warmest], 13.5 + 8.0, 1e-9);
        EXPECT_NEAR(calendar[c.coldest], 13.5 - 8.0, 1e-9);
    }
}

TEST(TemperatureCalendar, RotatesTheWorkingValuesRatherThanTheAngle) {
    daily_temperatures calendar{};
    const double phase_shift = 3.25;
    calendar = calendar_of(seasonal_air(), earth_hemisphere::north, 0.0, 0.66, phase_shift);
    const double k = 3.1415926 / 180.0;
    const double amplitude = 8.0 * 0.66;
    // Calendar day i holds working value (i + 226) mod 360, bit for bit.
    for (const int i : {0, 1, 133, 134, 135, 300, 359}) {
        const int j = (i + 226) % 360;
        EXPECT_EQ(calendar[i], std::sin((j + phase_shift) * k) * amplitude + 12.0) << i;
    }
    double sum = 0.0;
    for (const double t : calendar) {
        sum += t;
    }
    EXPECT_NEAR(sum / 360.0, 12.0, 1e-3);
}

TEST(TemperatureCalendar, NoSeasonalContrastGivesAFlatCalendar) {
    monthly_series air;
    air.fill(9.0);
    daily_temperatures calendar{};
    calendar = calendar_of(air, earth_hemisphere::north, 2.0, 0.66, 0.0);
    for (const double t : calendar) {
        EXPECT_EQ(t, 11.0);
    }
    calendar = calendar_of(seasonal_air(), earth_hemisphere::south, 0.0, 0.0, 0.0);
    for (const double t : calendar) {
        EXPECT_EQ(t, 12.0);
    }
}

TEST(TemperatureCalendar, ExchangedSeasonsKeepTheAmplitude) {
    monthly_series swapped = seasonal_air();
    std::swap(swapped[0], swapped[5]);
    std::swap(swapped[1], swapped[6]);
    std::swap(swapped[11], swapped[7]);
    daily_temperatures original{};
    daily_temperatures exchanged{};
    original = calendar_of(seasonal_air(), earth_hemisphere::north, 0.0, 1.0, 0.0);
    exchanged = calendar_of(swapped, earth_hemisphere::north, 0.0, 1.0, 0.0);
    EXPECT_EQ(original, exchanged);
}

}  // namespace
}  // namespace soil_climate

namespace soil_climate {
namespace {

// The curve's shape is computed once per station; each year's calendar from it must equal,
// bit for bit, the calendar computed from the year's values alone: sin (north) or cos
// (south) of (j + phase_shift) × k, times the amplitude, plus the mean, at day (j + 134)
// mod 360.
TEST(TemperatureCalendar, TheCurveComputedOncePerStationGivesEveryYearsCalendar) {
    const monthly_series years[] = {
        {4.0, 4.0, 12.0, 12.0, 12.0, 20.0, 20.0, 20.0, 12.0, 12.0, 12.0, 4.0},
        {-12.3, -9.8, -2.1, 6.4, 13.0, 18.2, 21.1, 19.7, 14.0, 6.9, -1.5, -9.0},
        {26.7, 26.6, 26.8, 26.9, 27.1, 27.2, 27.3, 28.0, 28.5, 28.6, 28.1, 27.4},
    };
    const double k = 3.1415926 / 180.0;
    for (const earth_hemisphere hemisphere : {earth_hemisphere::north, earth_hemisphere::south}) {
        for (const double phase_shift : {0.0, 90.0, -20.0, 3.25, 359.5}) {
            const daily_temperatures shape = temperature_curve_shape(hemisphere, phase_shift);
            for (const monthly_series& t : years) {
                const daily_temperatures cached = temperature_calendar(t, shape, 2.5, 0.66);
                double sum = 0.0;
                for (const double value : t) {
                    sum += value;
                }
                const double mean = sum / 12.0 + 2.5;
                const double amplitude = std::fabs((t[5] + t[6] + t[7]) / 3.0 - (t[0] + t[1] + t[11]) / 3.0) / 2.0 * 0.66;
                for (int j = 0; j < days_per_year; ++j) {
                    const double angle = (j + phase_shift) * k;
                    const double wave = hemisphere == earth_hemisphere::north ? std::sin(angle) : std::cos(angle);
                    ASSERT_EQ(cached[(j + 134) % 360], wave * amplitude + mean)
                        << hemisphere_letter(hemisphere) << " shift " << phase_shift << " day " << j;
                }
            }
        }
    }
}

}  // namespace
}  // namespace soil_climate
