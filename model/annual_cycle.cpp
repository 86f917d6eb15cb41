#include "model/annual_cycle.hpp"

#include "evapotranspiration/pet.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

annual_cycle_result run_water_year(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                                   double slant_capacity, equilibrium_totals& totals) {
    annual_cycle_result result;
    result.monthly_pet = monthly_pet;
    const slant_indices& order = depletion_slants(slant_capacity);
    double passes = 0.0;
    const bool unsettled = run_to_equilibrium(monthly_precipitation, monthly_pet, slant_capacity, order, totals,
                                              result.moisture_profile, true, passes);
    result.converged = !unsettled;
    result.passes = result.converged ? static_cast<int>(passes) : equilibrium_pass_limit;
    if (result.converged) {
        result.moisture_calendar.fill(moisture_code::unset);
        replay_year(monthly_precipitation, monthly_pet, slant_capacity, order, result.moisture_profile,
                    [&](int first_day, const passes::half_month_days<double>& days) {
                        record_half_month(result.moisture_calendar.data() + first_day, days.start, days.end,
                                          days.start_days, days.middle_days);
                    });
    }
    return result;
}

annual_cycle_result run_annual_cycle(const year_inputs& year, const station_parameters& station,
                                     double slant_capacity, equilibrium_totals& totals) {
    return run_water_year(year.monthly_precipitation,
                          compute_pet(year.monthly_temperature, station.latitude, station.hemisphere), slant_capacity,
                          totals);
}

}  // namespace soil_climate
