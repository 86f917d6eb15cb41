#include <algorithm>

#include "water_balance/recording_step.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

moisture_code moisture_condition(double slant_9, double slant_17, double slant_25) {
    const int empty = (slant_9 == 0.0) + (slant_17 == 0.0) + (slant_25 == 0.0);
    if (empty == 3) {
        return moisture_code::dry;
    }
    if (empty == 0) {
        return moisture_code::moist;
    }
    return moisture_code::moist_dry;
}

moisture_code moisture_condition(const slant_array& moisture_profile) {
    return moisture_condition(moisture_profile[moisture_control_section[0]],
                              moisture_profile[moisture_control_section[1]],
                              moisture_profile[moisture_control_section[2]]);
}

void record_half_month(moisture_code* first_day, double start, double end, double start_days, double middle_days) {
    const auto start_code = static_cast<moisture_code>(static_cast<int>(start));
    const auto end_code = static_cast<moisture_code>(static_cast<int>(end));
    const int first = static_cast<int>(start_days);
    const int middle = static_cast<int>(middle_days);
    std::fill_n(first_day, first, start_code);
    std::fill_n(first_day + first, middle, moisture_code::moist_dry);
    std::fill(first_day + first + middle, first_day + days_per_half_month, end_code);
}

void half_month_balance_recording(slant_array& moisture_profile, double pet, double half_precipitation,
                                  double slant_capacity, half_month_codes& half_month_record) {
    const passes::half_month_days<double> days = passes::recording_half_month(
        moisture_profile, pet, half_precipitation, slant_capacity, depletion_slants(slant_capacity));
    record_half_month(half_month_record.data(), days.start, days.end, days.start_days, days.middle_days);
}

}  // namespace soil_climate
