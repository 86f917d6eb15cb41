#pragma once

// The soil water year, written once for one cell (`double`) and for a pack of cells side
// by side: the equilibrium passes, then the replayed year that records the daily
// conditions. In a pack each lane is a cell with its own climate, capacity and totals;
// the lanes share the depletion order. A lane that is held (not simulated this year, or
// settled while others are not) is given no water and no demand, which leaves its
// profile as it is, and its totals are kept under its mask.

#include <array>

#include "common/model_year.hpp"
#include "common/number_lanes.hpp"
#include "water_balance/recording_step.hpp"

namespace soil_climate {

// A bound on the equilibrium passes of one year. With a non-negative capacity the totals
// settle within a few dozen passes; the bound only stops a year that never would.
inline constexpr int equilibrium_pass_limit = 100000;

// Twelve monthly values of each lane, January first.
template <typename Number>
using monthly_of = std::array<Number, months_per_year>;

// The profile totals (mm) at the end of the last two equilibrium passes. Both start at
// 0.0 once per run and carry over from year to year: a later year's first pass is
// compared with the previous year's last total.
template <typename Number>
struct equilibrium_totals_of {
    Number previous_total = 0.0;
    Number profile_total = 0.0;
};

template <typename Number>
Number sum_of_slants(const slants_of<Number>& moisture_profile) {
    Number total = 0.0;
    for (const Number& water : moisture_profile) {
        total += water;
    }
    return total;
}

// Runs the year, in the lanes `going`, until the end-of-year total changes by no more than
// 1 % from one pass to the next, and sets `passes` of each lane to the number of passes it
// ran. The profile is not reset between passes. Returns the lanes that reached the pass
// limit first (none, normally).
template <typename Number>
lane_mask<Number> run_to_equilibrium(const monthly_of<Number>& monthly_precipitation,
                                     const monthly_of<Number>& monthly_pet, Number slant_capacity,
                                     const slant_indices& order, equilibrium_totals_of<Number>& totals,
                                     slants_of<Number>& moisture_profile, lane_mask<Number> going, Number& passes) {
    for (int pass = 1; pass <= equilibrium_pass_limit; ++pass) {
        stdx::where(going, totals.previous_total) = totals.profile_total;
        for (int m = 0; m < months_per_year; ++m) {
            const Number half_precipitation = choose(going, monthly_precipitation[m] / 2.0, Number(0.0));
            const Number pet = choose(going, monthly_pet[m], Number(0.0));
            passes::half_month_pass(moisture_profile, half_precipitation - pet, slant_capacity, order,
                                    passes::ignore_visit{});
            passes::accretion_pass(moisture_profile, half_precipitation, slant_capacity, passes::ignore_visit{});
            passes::half_month_pass(moisture_profile, half_precipitation - pet, slant_capacity, order,
                                    passes::ignore_visit{});
        }
        stdx::where(going, totals.profile_total) = sum_of_slants(moisture_profile);
        const lane_mask<Number> settled =
            going && magnitude(totals.previous_total - totals.profile_total) <= 0.01 * totals.previous_total;
        stdx::where(settled, passes) = Number(pass);
        going = going && !settled;
        if (!any_lane(going)) {
            break;
        }
    }
    return going;
}

// Replays the settled year and hands each half-month's days to `take(first_day, days)`:
// days 0 to 14 of a month from its first step, days 15 to 29 from its second.
template <typename Number, typename Take>
void replay_year(const monthly_of<Number>& monthly_precipitation, const monthly_of<Number>& monthly_pet,
                 Number slant_capacity, const slant_indices& order, slants_of<Number>& moisture_profile, Take&& take) {
    for (int m = 0; m < months_per_year; ++m) {
        const Number half_precipitation = monthly_precipitation[m] / 2.0;
        const int first_day = m * days_per_month;
        take(first_day,
             passes::recording_half_month(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity, order));
        passes::accretion_pass(moisture_profile, half_precipitation, slant_capacity, passes::ignore_visit{});
        take(first_day + days_per_half_month,
             passes::recording_half_month(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity, order));
    }
}

}  // namespace soil_climate
