#include "water_balance/balance_passes.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

void half_month_balance(slant_array& moisture_profile, double pet, double half_precipitation, double slant_capacity) {
    const double net = half_precipitation - pet;
    if (net == 0.0) {
        return;
    }
    passes::half_month_pass(moisture_profile, net, slant_capacity, passes::ignore_visit);
}

}  // namespace soil_climate
