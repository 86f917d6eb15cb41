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

// The calendar's June-August and December-February means, each over its 90 days; winter
// sums December first, then January and February.
struct season_means {
    double june_to_august;
    double december_to_february;
};
season_means seasons_of(const daily_temperatures& t) {
    return {sum_over(t, june_to_august, 0.0) / 90.0,
            sum_over(t, december, sum_over(t, january_to_february, 0.0)) / 90.0};
}

}  // namespace

soil_temperature_summary summarize_soil_temperature(const daily_temperatures& temperature_calendar) {
    const daily_temperatures& t = temperature_calendar;
    const season_means seasons = seasons_of(t);
    return {sum_over(t, whole_year, 0.0) / 360.0, std::fabs(seasons.june_to_august - seasons.december_to_february)};
}

double summer_soil_temperature(const daily_temperatures& temperature_calendar, earth_hemisphere hemisphere) {
    const season_means seasons = seasons_of(temperature_calendar);
    return hemisphere == earth_hemisphere::south ? seasons.december_to_february : seasons.june_to_august;
}

}  // namespace soil_climate
