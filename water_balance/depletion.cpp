#include "water_balance/balance_passes.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

void half_month_balance(slant_array& moisture_profile, double pet, double half_precipitation, double slant_capacity) {
    passes::half_month_pass(moisture_profile, half_precipitation - pet, slant_capacity,
                            depletion_slants(slant_capacity), passes::ignore_visit{});
}

}  // namespace soil_climate
