#pragma once

// The two passes over the profile that every balance routine shares. Each pass calls
// `visit(slant, taken_mm)` after every position it visits, once that position's change (if
// any) is made, with the slant's index (0 for slant 1) and what the position took from the
// amount. The plain routines pass a visitor that does nothing; the recording half-month
// step uses it to place the day on which the moisture condition changes. One pass serves
// both, so they cannot drift apart.

#include <cmath>

#include "water_balance/moisture_profile.hpp"

namespace soil_climate::passes {

// Adds `amount` mm in fill order (slant 1 first), topping each slant up to the slant
// capacity. A full slant is set to the capacity itself, so it compares equal to it
// exactly. What does not fit is dropped. The pass ends once nothing remains; since only a
// slant that takes water changes what remains, that is tested after each such slant, and
// full slants, which take nothing, are passed over without a visit.
template <typename Visit>
void accretion_pass(slant_array& moisture_profile, double amount, double slant_capacity, Visit&& visit) {
    double remaining = amount;
    if (remaining <= 0.0) {
        return;
    }
    for (int slant = 0; slant < slant_count; ++slant) {
        double& water = moisture_profile[slant];
        double taken = 0.0;
        if (water == 0.0) {
            if (remaining >= slant_capacity) {
                water = slant_capacity;
                taken = slant_capacity;
                remaining -= slant_capacity;
            } else {
                water = remaining;
                taken = remaining;
                remaining = 0.0;
            }
        } else if (water > 0.0 && water < slant_capacity) {
            const double room = slant_capacity - water;
            if (remaining >= room) {
                water = slant_capacity;
                taken = room;
                remaining -= room;
            } else {
                water += remaining;
                taken = remaining;
                remaining = 0.0;
            }
        } else {
            continue;  // full: unchanged
        }
        visit(slant, taken);
        if (remaining <= 0.0) {
            return;
        }
    }
}

// Draws a demand of `demand` mm out of the profile in the depletion order in force.
// Emptying the slant at position p costs its water times the coefficient of p; a slant
// the demand cannot pay for in full keeps |remaining| × water ÷ charge (product first),
// which is always positive. Demand left after position 64 is dropped.
// The pass ends once the demand is met, which only a charge can bring about: it is tested
// after each charge.
template <typename Visit>
void depletion_pass(slant_array& moisture_profile, double demand, double slant_capacity, Visit&& visit) {
    const slant_indices& order = depletion_slants(slant_capacity);
    double remaining = demand;
    if (remaining <= 0.0) {
        return;
    }
    for (int position = 0; position < slant_count; ++position) {
        const int slant = order[position];
        double& water = moisture_profile[slant];
        if (water == 0.0) {
            continue;  // an empty slant costs nothing
        }
        const double charge = water * depletion_coefficients[position];
        remaining -= charge;
        if (remaining >= 0.0) {
            water = 0.0;
            visit(slant, charge);
            if (remaining == 0.0) {
                return;
            }
        } else {
            water = std::fabs(remaining) * water / charge;
            visit(slant, 0.0);  // the slant stays wet: no change of condition to place
            return;
        }
    }
}

// One half-month step's amount: half the magnitude of the net of precipitation less PET.
inline double step_amount(double net) {
    return net > 0.0 ? net / 2.0 : net * -1.0 / 2.0;
}

// Applies a half-month step of non-zero `net`: the surplus by accretion, the deficit by
// depletion, each of `step_amount(net)` mm.
template <typename Visit>
void half_month_pass(slant_array& moisture_profile, double net, double slant_capacity, Visit&& visit) {
    if (net > 0.0) {
        accretion_pass(moisture_profile, step_amount(net), slant_capacity, visit);
    } else {
        depletion_pass(moisture_profile, step_amount(net), slant_capacity, visit);
    }
}

inline void ignore_visit(int /*slant*/, double /*taken_mm*/) {}

// True for the slants of the moisture control section (slants 9, 17 and 25), the only
// ones whose change can change the day's moisture condition.
constexpr bool in_moisture_control_section(int slant) {
    return slant == moisture_control_section[0] || slant == moisture_control_section[1] ||
           slant == moisture_control_section[2];
}

}  // namespace soil_climate::passes
