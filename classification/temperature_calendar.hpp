#pragma once

#include "common/model_year.hpp"

namespace soil_climate {

// The 360 daily soil temperatures (°C) of a year: one sinusoid whose mean is the annual
// mean air temperature plus `soil_temp_offset`, whose amplitude is half the difference of
// the summer (June-August) and winter (December-February) air means times
// `amplitude_factor`, and whose phase is set by the hemisphere and `phase_shift` (days).
void temperature_calendar(daily_temperatures& calendar, const monthly_series& monthly_temperature,
                          char hemisphere, double soil_temp_offset, double amplitude_factor, double phase_shift);

}  // namespace soil_climate
