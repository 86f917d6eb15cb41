#pragma once

// The day counts of a year, written once for one cell (`double`) and for a pack of cells
// side by side: one pass over the 360 days of the soil temperature and moisture calendars
// that counts the days of each condition, warm or not, and the longest runs the regime
// rules decide on. One cell counts in ints, a pack in whole numbers of its doubles.

#include "common/model_year.hpp"
#include "common/number_lanes.hpp"

namespace soil_climate {

// Strict thresholds of the day counts: a day at exactly 5.0 or 8.0 °C does not count.
inline constexpr double warm_celsius = 5.0;
inline constexpr double biological_celsius = 8.0;

// The four months after each solstice, as day indices from `first` to before `end`: the
// summer window of one hemisphere is the winter window of the other.
struct day_window {
    int first;
    int end;
};
inline constexpr day_window january_to_april{0, 120};   // after the December solstice
inline constexpr day_window july_to_october{180, 300};  // after the June solstice

// The longest run of consecutive qualifying days, fed one day at a time in day order: a
// day that does not qualify ends the current run; a run still open at the end counts in
// full. Runs never wrap around the end of the range they are fed.
template <typename Number>
struct run_tracker {
    using count = lane_count<Number>;
    count current = 0;
    count longest = 0;

    void add(const lane_mask<Number>& qualifies) {
        longest = choose(qualifies, longest, larger(longest, current));
        current = choose(qualifies, count(current + 1), count(0));
    }
    count result() const { return larger(longest, current); }
};

// The longest runs within one of the two windows.
template <typename Number>
struct window_runs {
    run_tracker<Number> dry;
    run_tracker<Number> moist;
    run_tracker<Number> not_dry;
};

// What one pass over a year's calendars counts.
template <typename Number>
struct day_tallies {
    using count = lane_count<Number>;
    count warm_days = 0;  // soil above 5 °C
    count year_dry_days = 0;
    count year_moist_dry_days = 0;
    count year_moist_days = 0;
    count dry_days = 0;  // of each condition and above 5 °C
    count moist_dry_days = 0;
    count moist_days = 0;
    count bio8_days = 0;          // longest run not dry and above 8 °C
    count longest_moist_run = 0;  // longest run not dry
    count longest_dry_run = 0;    // longest run dry in some or all parts
    count january_april_dry_run = 0;
    count january_april_moist_run = 0;
    count july_october_dry_run = 0;
    count july_october_moist_run = 0;
    count july_october_not_dry_run = 0;
};

// Counts the year from `day(d)`, which gives day d's soil temperature (°C, a `Number`) and
// the number of its moisture condition (1 dry, 2 partly dry and partly moist, 3 moist; a
// count).
template <typename Number, typename Day>
day_tallies<Number> count_days(Day&& day) {
    using mask = lane_mask<Number>;
    using count = lane_count<Number>;
    day_tallies<Number> tallies;
    run_tracker<Number> biological_window;  // not dry and above 8 °C
    run_tracker<Number> not_dry;            // moist in some or all parts
    run_tracker<Number> dry_in_part;        // dry in some or all parts
    window_runs<Number> january_april;
    window_runs<Number> july_october;
    const auto count_from = [&](int first, int end, window_runs<Number>* window) {
        for (int d = first; d < end; ++d) {
            const auto [temperature, code] = day(d);
            const mask warm = temperature > warm_celsius;
            const mask dry = code == count(1);
            const mask moist_dry = code == count(2);
            const mask moist = code == count(3);
            const count one(1);
            const count none(0);
            const count warm_day = choose(warm, one, none);
            tallies.warm_days += warm_day;
            tallies.year_dry_days += choose(dry, one, none);
            tallies.year_moist_dry_days += choose(moist_dry, one, none);
            tallies.year_moist_days += choose(moist, one, none);
            tallies.dry_days += choose(dry, warm_day, none);
            tallies.moist_dry_days += choose(moist_dry, warm_day, none);
            tallies.moist_days += choose(moist, warm_day, none);
            biological_window.add(temperature > biological_celsius && !dry);
            not_dry.add(!dry);
            dry_in_part.add(dry || moist_dry);
            if (window != nullptr) {
                window->dry.add(dry);
                window->moist.add(moist);
                window->not_dry.add(!dry);
            }
        }
    };
    count_from(january_to_april.first, january_to_april.end, &january_april);
    count_from(january_to_april.end, july_to_october.first, nullptr);
    count_from(july_to_october.first, july_to_october.end, &july_october);
    count_from(july_to_october.end, days_per_year, nullptr);
    tallies.bio8_days = biological_window.result();
    tallies.longest_moist_run = not_dry.result();
    tallies.longest_dry_run = dry_in_part.result();
    tallies.january_april_dry_run = january_april.dry.result();
    tallies.january_april_moist_run = january_april.moist.result();
    tallies.july_october_dry_run = july_october.dry.result();
    tallies.july_october_moist_run = july_october.moist.result();
    tallies.july_october_not_dry_run = july_october.not_dry.result();
    return tallies;
}

}  // namespace soil_climate
