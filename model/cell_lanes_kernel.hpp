// The annual cycles of a pack of cells, one cell a lane: the body of the kernel of each
// pack width (model/cell_lanes_2.cpp, _4, _8), each built with its instruction set into
// the namespace CELL_LANES_NAMESPACE. Everything it defines is in that namespace, local to
// it, or an instantiation on its own pack type, so that no function built for a wider
// instruction set can stand in for one of another build. Where the build lacks the
// instruction set (CELL_LANES_BUILT 0) the kernel is absent and says so.

#include <stdexcept>
#include <string>
#include <experimental/simd>

#include "model/cell_lanes.hpp"
#include "water_balance/water_balance.hpp"

namespace soil_climate::CELL_LANES_NAMESPACE {
#if CELL_LANES_BUILT
namespace {

using pack = stdx::native_simd<double>;
using mask = lane_mask<pack>;
constexpr int width = number_lanes<pack>::width;
static_assert(width == CELL_LANES_WIDTH, "the instruction set of this build gives another pack width");

// The lanes' values of one cell value each, read through `value(cell)`.
template <typename Value>
pack lanes_of(int first, Value&& value) {
    return pack([&](auto lane) { return value(first + static_cast<int>(lane)); });
}

void run_pack(int first, const lane_year& year, lane_totals& totals, lane_cycles& cycles) {
    // A held lane has no water and no demand, and is not going.
    const auto simulated = [&](int cell) { return year.simulated[cell]; };
    monthly_of<pack> precipitation;
    monthly_of<pack> pet;
    for (int m = 0; m < months_per_year; ++m) {
        precipitation[m] = lanes_of(first, [&](int cell) {
            return simulated(cell) ? year.monthly_precipitation[cell][m] : 0.0;
        });
        pet[m] = lanes_of(first, [&](int cell) { return simulated(cell) ? year.monthly_pet[cell][m] : 0.0; });
    }
    const pack capacity = lanes_of(first, [&](int cell) { return year.slant_capacity[cell]; });
    const mask going = lanes_of(first, [&](int cell) { return simulated(cell) ? 1.0 : 0.0; }) == 1.0;
    if (!any_lane(going)) {
        return;
    }
    equilibrium_totals_of<pack> pack_totals{lanes_of(first, [&](int cell) { return totals[cell].previous_total; }),
                                            lanes_of(first, [&](int cell) { return totals[cell].profile_total; })};
    const slant_indices& order = year.row_order ? row_slants : diagonal_slants;

    slants_of<pack> profile;
    profile.fill(pack(0.0));
    pack passes(0.0);
    const mask unsettled =
        run_to_equilibrium(precipitation, pet, capacity, order, pack_totals, profile, going, passes);
    // Lanes that never settled are not replayed; they are handed back as such.
    const mask replayed = going && !unsettled;
    const pack replay_flags = choose(replayed, pack(1.0), pack(0.0));
    replay_year(precipitation, pet, capacity, order, profile,
                [&](int first_day, const passes::half_month_days<pack>& days) {
                    for (int lane = 0; lane < width; ++lane) {
                        if (replay_flags[lane] == 1.0) {
                            record_half_month(cycles[first + lane].moisture_calendar.data() + first_day,
                                              days.start[lane], days.end[lane], days.start_days[lane],
                                              days.middle_days[lane]);
                        }
                    }
                });

    for (int lane = 0; lane < width; ++lane) {
        const int cell = first + lane;
        if (!year.simulated[cell]) {
            continue;
        }
        totals[cell] = {pack_totals.previous_total[lane], pack_totals.profile_total[lane]};
        annual_cycle_result& cycle = cycles[cell];
        cycle.monthly_pet = year.monthly_pet[cell];
        cycle.converged = replay_flags[lane] == 1.0;
        cycle.passes = cycle.converged ? static_cast<int>(passes[lane]) : equilibrium_pass_limit;
        for (int slant = 0; slant < slant_count; ++slant) {
            cycle.moisture_profile[slant] = profile[slant][lane];
        }
    }
}

}  // namespace

bool built() {
    return true;
}

void run_annual_cycles(const lane_year& year, lane_totals& totals, lane_cycles& cycles) {
    for (int first = 0; first < lane_cells; first += width) {
        run_pack(first, year, totals, cycles);
    }
}
#else
bool built() {
    return false;
}

void run_annual_cycles(const lane_year&, lane_totals&, lane_cycles&) {
    throw std::logic_error("this build has no kernel of " + std::to_string(CELL_LANES_WIDTH) + " cells side by side");
}
#endif

}  // namespace soil_climate::CELL_LANES_NAMESPACE
