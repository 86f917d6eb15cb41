#pragma once

// The recording half-month step, written once for one cell and for a pack of cells: the
// step of `half_month_balance` that also says how its 15 days divide between the
// conditions the moisture control section passes through.

#include "water_balance/balance_passes.hpp"

namespace soil_climate::passes {

// The condition of the moisture control section as its number: 1 dry (slants 9, 17 and 25
// all empty), 3 moist (none empty), 2 partly dry and partly moist.
template <typename Number>
Number condition_number(const slants_of<Number>& moisture_profile) {
    const lane_mask<Number> empty_9 = moisture_profile[moisture_control_section[0]] == 0.0;
    const lane_mask<Number> empty_17 = moisture_profile[moisture_control_section[1]] == 0.0;
    const lane_mask<Number> empty_25 = moisture_profile[moisture_control_section[2]] == 0.0;
    return choose(empty_9 && empty_17 && empty_25, Number(1.0),
                  choose(empty_9 || empty_17 || empty_25, Number(2.0), Number(3.0)));
}

// The 15 days of a half-month: `start_days` days of the condition it starts in, then
// `middle_days` days partly dry and partly moist, then the condition it ends in for the
// rest. Conditions by number, day counts whole numbers from 0 to 15.
template <typename Number>
struct half_month_days {
    Number start;
    Number end;
    Number start_days;
    Number middle_days;
};

// Days of a half-month on which the step amount moved so far had arrived: the share of
// `moved` in `amount`, in fifteenths, truncated toward zero and kept within the record.
template <typename Number>
Number days_until(Number moved, Number amount, Number days_left) {
    const Number days = whole_part(15.0 * moved / amount);
    return choose(days < 0.0, Number(0.0), choose(days_left < days, days_left, days));
}

// Where the condition changed within one pass: the water (accretion) or charge (depletion)
// moved before the first and between the first and the second change. Within a pass the
// condition moves one way only, one step per change, so there are at most two. `current`
// is always the section's condition: only a visit to one of its slants changes it.
template <typename Number>
struct condition_changes {
    Number current;
    Number count = 0.0;
    Number moved = 0.0;  // running total since the last change, mm
    Number first = 0.0;
    Number second = 0.0;
};

// One half-month step, as `half_month_balance` changes the profile, and its days.
template <typename Number>
half_month_days<Number> recording_half_month(slants_of<Number>& moisture_profile, Number pet, Number half_precipitation,
                                             Number slant_capacity, const slant_indices& order) {
    const Number net = half_precipitation - pet;
    const Number start = condition_number(moisture_profile);
    condition_changes<Number> changes{start};
    half_month_pass(moisture_profile, net, slant_capacity, order, [&](int slant, const Number& taken) {
        changes.moved += taken;
        if (!in_moisture_control_section(slant)) {
            return;  // the condition is the section's: no other slant changes it
        }
        const Number now = condition_number(moisture_profile);
        const lane_mask<Number> changed = now != changes.current;
        if (!any_lane(changed)) {
            return;
        }
        stdx::where(changed && changes.count == 0.0, changes.first) = changes.moved;
        stdx::where(changed && changes.count == 1.0, changes.second) = changes.moved;
        stdx::where(changed, changes.count) = changes.count + 1.0;
        stdx::where(changed, changes.moved) = Number(0.0);
        stdx::where(changed, changes.current) = now;
    });

    const Number end = condition_number(moisture_profile);
    const Number amount = step_amount(net);
    const Number steps = magnitude(end - start);  // conditions passed through: 0, 1 or 2
    const Number first_days = days_until(changes.first, amount, Number(15.0));
    const Number second_days = days_until(changes.second, amount, 15.0 - first_days);
    return {start, end, choose(steps == 0.0, Number(15.0), first_days), choose(steps == 2.0, second_days, Number(0.0))};
}

}  // namespace soil_climate::passes
