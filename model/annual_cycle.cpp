#include "model/annual_cycle.hpp"

#include <algorithm>
#include <cmath>

#include "evapotranspiration/pet.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {
namespace {

double sum_of_slants(const slant_array& moisture_profile) {
    double total = 0.0;
    for (const double water : moisture_profile) {
        total += water;
    }
    return total;
}

// Runs the year until the end-of-year total changes by no more than 1 % from one pass to
// the next, and returns the number of passes run, or 0 when the pass limit came first.
// The profile is not reset between passes.
int run_to_equilibrium(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                       double slant_capacity, equilibrium_totals& totals, slant_array& moisture_profile) {
    for (int pass = 1; pass <= equilibrium_pass_limit; ++pass) {
        totals.previous_total = totals.profile_total;
        for (int m = 0; m < months_per_year; ++m) {
            const double half_precipitation = monthly_precipitation[m] / 2.0;
            half_month_balance(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity);
            accrete(moisture_profile, half_precipitation, slant_capacity);
            half_month_balance(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity);
        }
        totals.profile_total = sum_of_slants(moisture_profile);
        if (std::fabs(totals.previous_total - totals.profile_total) <= 0.01 * totals.previous_total) {
            return pass;
        }
    }
    return 0;
}

// Replays the converged year, copying each half-month's 15 daily codes into the calendar:
// days 0 to 14 of a month from its first step, days 15 to 29 from its second.
void replay_year(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                 double slant_capacity, slant_array& moisture_profile, daily_codes& moisture_calendar) {
    half_month_codes half_month_record{};
    moisture_calendar.fill(moisture_code::unset);
    for (int m = 0; m < months_per_year; ++m) {
        const double half_precipitation = monthly_precipitation[m] / 2.0;
        const auto first_day = moisture_calendar.begin() + m * days_per_month;
        half_month_balance_recording(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity,
                                     half_month_record);
        std::copy(half_month_record.begin(), half_month_record.end(), first_day);
        accrete(moisture_profile, half_precipitation, slant_capacity);
        half_month_balance_recording(moisture_profile, monthly_pet[m], half_precipitation, slant_capacity,
                                     half_month_record);
        std::copy(half_month_record.begin(), half_month_record.end(), first_day + days_per_half_month);
    }
}

}  // namespace

annual_cycle_result run_annual_cycle(const year_inputs& year, const station_parameters& station,
                                     double slant_capacity, equilibrium_totals& totals) {
    annual_cycle_result result;
    result.monthly_pet = compute_pet(year.monthly_temperature, station.latitude, station.hemisphere);
    const int passes = run_to_equilibrium(year.monthly_precipitation, result.monthly_pet, slant_capacity, totals,
                                          result.moisture_profile);
    result.converged = passes > 0;
    result.passes = result.converged ? passes : equilibrium_pass_limit;
    if (result.converged) {
        replay_year(year.monthly_precipitation, result.monthly_pet, slant_capacity, result.moisture_profile,
                    result.moisture_calendar);
    }
    return result;
}

}  // namespace soil_climate
