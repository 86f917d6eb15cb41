#include "soil_temperature/temperature_calendar.hpp"

#include <cmath>

namespace soil_climate {
namespace {

// Radians per day: π to eight significant digits over 180. Not the exact π/180, so 360
// steps fall just short of a full turn; the calendar is built to keep exactly these values.
constexpr double radians_per_day = 3.1415926 / 180.0;

// Working day 0 of the curve lands on calendar day 134 (15 May).
constexpr int rotation_days = 134;

}  // namespace

daily_temperatures temperature_curve_shape(earth_hemisphere hemisphere, double phase_shift) {
    // The working index wraps before any angle is formed, so the calendar holds exactly
    // the 360 working values, rotated forward by 134 days.
    daily_temperatures shape{};
    for (int j = 0; j < days_per_year; ++j) {
        const double angle = (j + phase_shift) * radians_per_day;
        shape[(j + rotation_days) % days_per_year] =
            hemisphere == earth_hemisphere::north ? std::sin(angle) : std::cos(angle);
    }
    return shape;
}

daily_temperatures temperature_calendar(const monthly_series& monthly_temperature,
                                        const daily_temperatures& curve_shape, double soil_temp_offset,
                                        double amplitude_factor) {
    daily_temperatures calendar;
    const monthly_series& t = monthly_temperature;
    double annual_sum = 0.0;
    for (const double value : t) {
        annual_sum += value;
    }
    const double mean = annual_sum / 12.0 + soil_temp_offset;
    const double summer = (t[5] + t[6] + t[7]) / 3.0;
    const double winter = (t[0] + t[1] + t[11]) / 3.0;
    const double amplitude = std::fabs(summer - winter) / 2.0 * amplitude_factor;
    for (int d = 0; d < days_per_year; ++d) {
        calendar[d] = curve_shape[d] * amplitude + mean;
    }
    return calendar;
}

}  // namespace soil_climate
