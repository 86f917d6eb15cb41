#pragma once

#include <stdexcept>
#include <string>

#include "classification/classify_regimes.hpp"
#include "common/input_limits.hpp"
#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/year_summary.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// One year's inputs in the model's units.
struct year_inputs {
    monthly_series monthly_temperature{};    // mean air temperature, °C
    monthly_series monthly_precipitation{};  // mm
};

// Everything one simulated year yields: what its report, its summary line and its row of
// the table of years show.
struct year_result {
    monthly_series monthly_temperature{};       // °C
    monthly_series monthly_precipitation{};     // mm
    monthly_series monthly_pet{};               // mm
    slant_array moisture_profile{};             // mm in each slant at the end of the year
    daily_codes moisture_calendar{};            // condition of the moisture control section
    daily_temperatures temperature_calendar{};  // soil temperature, °C
    soil_temperature_regime temperature_regime{};
    soil_moisture_regime moisture_regime{};
    moisture_subdivision subdivision{};
    regime_counts counts;
    year_summary summary;           // the year's water sums, mm
    soil_temperature_summary soil;  // mean soil temperature and summer-winter difference, °C
    int equilibrium_passes = 0;
};

// Station parameters or monthly values that the model cannot simulate, with the problem
// the check found (common/input_limits.hpp): which field or month, what is wrong and the
// range allowed.
class invalid_input : public std::invalid_argument {
public:
    invalid_input(const std::string& what, const input_problem& problem)
        : std::invalid_argument(what), problem(problem), month(problem.month) {}
    input_problem problem;
    int month;  // of a bad monthly value, 0 = January; -1 for a station parameter
};

}  // namespace soil_climate
