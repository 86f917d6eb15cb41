#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// The 360 daily soil temperatures (°C) of a year are one sinusoid whose mean is the annual
// mean air temperature plus `soil_temp_offset`, whose amplitude is half the difference of
// the summer (June-August) and winter (December-February) air means times
// `amplitude_factor`, and whose phase is set by the hemisphere and `phase_shift` (days).

// The shape of that sinusoid, by calendar day: the sine (north) or cosine (any other
// hemisphere) of each working day's angle, already rotated into the calendar. It depends
// only on the station's hemisphere and phase shift, so a run computes it once.
daily_temperatures temperature_curve_shape(earth_hemisphere hemisphere, double phase_shift);

// A year's calendar from that shape: each day is shape × amplitude + mean.
daily_temperatures temperature_calendar(const monthly_series& monthly_temperature,
                                        const daily_temperatures& curve_shape, double soil_temp_offset,
                                        double amplitude_factor);

}  // namespace soil_climate
