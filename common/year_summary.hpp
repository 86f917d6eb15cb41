#pragma once

namespace soil_climate {

// A year's water summary, mm.
struct year_summary {
    double annual_precipitation = 0.0;
    double annual_pet = 0.0;
    double annual_water_balance = 0.0;  // precipitation less PET
    double june_august_balance = 0.0;   // precipitation less PET over June to August
};

}  // namespace soil_climate
