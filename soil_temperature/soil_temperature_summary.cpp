#include "soil_temperature/soil_temperature_summary.hpp"

#include <cmath>

namespace soil_climate {
namespace {

// Inclusive ranges of day indices of the 360-day calendar.
struct day_range {
    int first;
    int last;
};
constexpr day_range whole_year{0, days_per_year - 1};
constexpr day_range june_to_august{150, 239};
constexpr day_range january_to_february{0, 59};
constexpr day_range december{330, 359};

double sum_over(const daily_temperatures& calendar, day_range range, double sum) {
    for (int d = range.first; d <= range.last; ++d) {
        sum += calendar[d];
    }
    return sum;
}

}  // namespace

soil_temperature_summary summarize_soil_temperature(const daily_temperatures& temperature_calendar) {
    const daily_temperatures& t = temperature_calendar;
    // Each season over its 90 days; winter sums December first, then January and February.
    const double summer = sum_over(t, june_to_august, 0.0) / 90.0;
    const double winter = sum_over(t, december, sum_over(t, january_to_february, 0.0)) / 90.0;
    return {sum_over(t, whole_year, 0.0) / 360.0, std::fabs(summer - winter), summer, winter};
}

}  // namespace soil_climate
