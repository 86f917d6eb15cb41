#include <algorithm>
#include <cstdlib>

#include "water_balance/balance_passes.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate {

moisture_code moisture_condition(double slant_9, double slant_17, double slant_25) {
    const int empty = (slant_9 == 0.0) + (slant_17 == 0.0) + (slant_25 == 0.0);
    if (empty == 3) {
        return moisture_code::dry;
    }
    if (empty == 0) {
        return moisture_code::moist;
    }
    return moisture_code::moist_dry;
}

moisture_code moisture_condition(const slant_array& moisture_profile) {
    return moisture_condition(moisture_profile[moisture_control_section[0]],
                              moisture_profile[moisture_control_section[1]],
                              moisture_profile[moisture_control_section[2]]);
}

namespace {

// Days of a half-month on which the step amount moved so far had arrived: the share of
// `moved` in `step_amount`, in fifteenths, truncated toward zero and kept within the record.
int days_until(double moved, double step_amount, int days_left) {
    const int days = static_cast<int>(15.0 * moved / step_amount);
    return std::clamp(days, 0, days_left);
}

// Where the condition changed within one pass: the water (accretion) or charge (depletion)
// moved before the first and between the first and the second change. Within a pass the
// condition moves one way only, one step per change, so there are at most two.
struct condition_changes {
    moisture_code current = moisture_code::unset;
    int count = 0;
    double moved = 0.0;  // running total since the last change, mm
    double first = 0.0;
    double second = 0.0;
};

}  // namespace

void half_month_balance_recording(slant_array& moisture_profile, double pet, double half_precipitation,
                                  double slant_capacity, half_month_codes& half_month_record) {
    const double net = half_precipitation - pet;
    const moisture_code start = moisture_condition(moisture_profile);
    if (net == 0.0) {
        half_month_record.fill(start);
        return;
    }

    condition_changes changes{start};
    passes::half_month_pass(moisture_profile, net, slant_capacity, [&](int slant, double taken) {
        changes.moved += taken;
        if (!passes::in_moisture_control_section(slant)) {
            return;  // the condition is the section's: no other slant changes it
        }
        const moisture_code now = moisture_condition(moisture_profile);
        if (now != changes.current) {
            if (changes.count == 0) {
                changes.first = changes.moved;
            } else if (changes.count == 1) {
                changes.second = changes.moved;
            }
            ++changes.count;
            changes.moved = 0.0;
            changes.current = now;
        }
    });

    const moisture_code end = moisture_condition(moisture_profile);
    const double amount = passes::step_amount(net);
    auto day = half_month_record.begin();
    switch (std::abs(code_number(end) - code_number(start))) {
        case 2: {
            const int d1 = days_until(changes.first, amount, days_per_half_month);
            const int d2 = days_until(changes.second, amount, days_per_half_month - d1);
            day = std::fill_n(day, d1, start);
            day = std::fill_n(day, d2, moisture_code::moist_dry);
            std::fill(day, half_month_record.end(), end);
            break;
        }
        case 1: {
            const int d1 = days_until(changes.first, amount, days_per_half_month);
            day = std::fill_n(day, d1, start);
            std::fill(day, half_month_record.end(), end);
            break;
        }
        default:
            half_month_record.fill(start);
            break;
    }
}

}  // namespace soil_climate
