#pragma once

#include <array>

#include "common/model_year.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// The 15 daily condition codes of one half-month, first day first.
using half_month_codes = std::array<moisture_code, days_per_half_month>;

// Adds `amount` mm of water in fill order; what does not fit is lost.
void accrete(slant_array& moisture_profile, double amount, double slant_capacity);

// One half-month step: sets half the month's precipitation against the month's PET and
// adds or withdraws half of the net. A deficit is drawn out of the profile in the
// depletion order; demand the profile cannot pay for is not met.
void half_month_balance(slant_array& moisture_profile, double pet, double half_precipitation, double slant_capacity);

// The condition of the moisture control section from the water in slants 9, 17 and 25:
// 1 dry (all three empty), 3 moist (none empty), 2 partly dry and partly moist.
moisture_code moisture_condition(double slant_9, double slant_17, double slant_25);

// The condition of the profile's moisture control section.
moisture_code moisture_condition(const slant_array& moisture_profile);

// Writes a half-month's 15 daily codes from the days of its conditions (by number, 1 to
// 3): `start_days` of `start`, then `middle_days` partly dry and partly moist, then `end`.
void record_half_month(moisture_code* first_day, double start, double end, double start_days, double middle_days);

// The half-month step of `half_month_balance`, which it changes the profile exactly
// like, recording the condition of each of its 15 days in `record`.
void half_month_balance_recording(slant_array& moisture_profile, double pet, double half_precipitation,
                                  double slant_capacity, half_month_codes& half_month_record);

}  // namespace soil_climate
