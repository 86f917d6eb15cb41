#pragma once

// The two passes over the profile that every balance routine shares, written once for one
// cell (`double`) and for a pack of cells side by side (common/number_lanes.hpp). Each
// pass calls `visit(slant, taken_mm)` after every position at which it changed the
// profile, with the slant's index (0 for slant 1) and what the position took from the
// amount; a cell whose slant did not change there takes 0. The plain routines pass a
// visitor that does nothing; the recording half-month step uses it to place the day on
// which the moisture condition changes. One pass serves both, so they cannot drift apart.
//
// In a pack a cell's pass ends where it would end alone: from then on its lanes are held,
// unchanged, while the other cells' passes go on; the pass returns once every lane is done.

#include "common/number_lanes.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate::passes {

// Adds `amount` mm in fill order (slant 1 first), topping each slant up to the slant
// capacity. A full slant is set to the capacity itself, so it compares equal to it
// exactly. What does not fit is dropped. The pass ends once nothing remains; since only a
// slant that takes water changes what remains, that is tested after each such slant, and
// full slants, which take nothing, are passed over without a visit. An empty slant's room
// is the capacity itself (capacity - 0 is exact), and it takes what remains as 0 + what
// remains, so empty and partly filled slants share one rule.
template <typename Number, typename Visit>
void accretion_pass(slants_of<Number>& moisture_profile, Number amount, Number slant_capacity, Visit&& visit) {
    using mask = lane_mask<Number>;
    Number remaining = amount;
    mask going = !(remaining <= 0.0);
    if (!any_lane(going)) {
        return;
    }
    for (int slant = 0; slant < slant_count; ++slant) {
        Number& water = moisture_profile[slant];
        const mask filling = going && (water == 0.0 || (water > 0.0 && water < slant_capacity));
        if (!any_lane(filling)) {
            continue;  // full: unchanged
        }
        const Number room = slant_capacity - water;
        const mask fits = remaining >= room;
        const Number taken = choose(filling, choose(fits, room, remaining), Number(0.0));
        water = choose(filling, choose(fits, slant_capacity, water + remaining), water);
        remaining = choose(filling, choose(fits, remaining - room, Number(0.0)), remaining);
        visit(slant, taken);
        going = going && !(filling && remaining <= 0.0);
        if (!any_lane(going)) {
            return;
        }
    }
}

// Draws a demand of `demand` mm out of the profile in the depletion order `order`.
// Emptying the slant at position p costs its water times the coefficient of p; a slant
// the demand cannot pay for in full keeps |remaining| × water ÷ charge (product first),
// which is always positive. Demand left after position 64 is dropped.
// The pass ends once the demand is met, which only a charge can bring about: it is tested
// after each charge.
template <typename Number, typename Visit>
void depletion_pass(slants_of<Number>& moisture_profile, Number demand, const slant_indices& order, Visit&& visit) {
    using mask = lane_mask<Number>;
    Number remaining = demand;
    mask going = !(remaining <= 0.0);
    if (!any_lane(going)) {
        return;
    }
    for (int position = 0; position < slant_count; ++position) {
        Number& water = moisture_profile[order[position]];
        const mask charged = going && !(water == 0.0);
        if (!any_lane(charged)) {
            continue;  // an empty slant costs nothing
        }
        const Number charge = water * depletion_coefficients[position];
        remaining = choose(charged, remaining - charge, remaining);
        const mask emptied = charged && remaining >= 0.0;
        const mask kept = charged && !(remaining >= 0.0);  // the slant stays wet
        water = choose(emptied, Number(0.0), choose(kept, magnitude(remaining) * water / charge, water));
        // A slant that stays wet makes no change of condition to place: it takes 0.
        visit(order[position], choose(emptied, charge, Number(0.0)));
        going = going && !kept && !(emptied && remaining == 0.0);
        if (!any_lane(going)) {
            return;
        }
    }
}

// One half-month step's amount: half the magnitude of the net of precipitation less PET.
template <typename Number>
Number step_amount(Number net) {
    return choose(net > 0.0, net / 2.0, net * -1.0 / 2.0);
}

// Applies a half-month step of `net`: a surplus by accretion, a deficit by depletion, each
// of `step_amount(net)` mm. A net of zero changes nothing: its amount is 0 (or -0).
template <typename Number, typename Visit>
void half_month_pass(slants_of<Number>& moisture_profile, Number net, Number slant_capacity, const slant_indices& order,
                     Visit&& visit) {
    const Number amount = step_amount(net);
    const lane_mask<Number> surplus = net > 0.0;
    accretion_pass(moisture_profile, choose(surplus, amount, Number(0.0)), slant_capacity, visit);
    depletion_pass(moisture_profile, choose(surplus, Number(0.0), amount), order, visit);
}

// The visitor of the plain routines.
struct ignore_visit {
    template <typename Number>
    void operator()(int /*slant*/, const Number& /*taken_mm*/) const {}
};

// True for the slants of the moisture control section (slants 9, 17 and 25), the only
// ones whose change can change the day's moisture condition.
constexpr bool in_moisture_control_section(int slant) {
    return slant == moisture_control_section[0] || slant == moisture_control_section[1] ||
           slant == moisture_control_section[2];
}

}  // namespace soil_climate::passes
