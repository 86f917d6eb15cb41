#include "water_balance/balance_passes.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

void accrete(slant_array& moisture_profile, double amount, double slant_capacity) {
    passes::accretion_pass(moisture_profile, amount, slant_capacity, passes::ignore_visit{});
}

}  // namespace soil_climate
