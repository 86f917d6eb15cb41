#pragma once

// The annual cycles of several cells run side by side, one cell a lane of a pack of
// doubles, with the same source as one cell's (model/equilibrium_year.hpp): every lane's
// cycle is the station model's, bit for bit, at every pack width. The width is chosen at
// run time from what the processor has: 2 doubles (SSE2, every x86-64; NEON), 4 (AVX2),
// 8 (AVX-512), never from the machine the program was built on.

#include <array>
#include <vector>

#include "model/annual_cycle.hpp"

namespace soil_climate {

// The most cells one call takes.
inline constexpr int lane_cells = 8;

// One year of up to `lane_cells` cells. A cell not simulated this year (a missing year, or
// an unused place) is held: its totals stay as they are and its cycle is not touched.
struct lane_year {
    std::array<bool, lane_cells> simulated{};
    std::array<monthly_series, lane_cells> monthly_precipitation{};  // mm
    std::array<monthly_series, lane_cells> monthly_pet{};            // mm
    std::array<double, lane_cells> slant_capacity{};                 // mm
    bool row_order = false;  // the depletion order, which the cells share
};

using lane_totals = std::array<equilibrium_totals, lane_cells>;
using lane_cycles = std::array<annual_cycle_result, lane_cells>;

// The pack widths this processor runs, narrowest first; width 1 is one cell at a time.
std::vector<int> lane_widths();

// The width the many-cell entry point takes unless told: 4 where the processor has AVX2,
// else 1.
int default_lane_width();

// Runs each simulated cell's annual cycle into `cycles` (its PET copied in), `width` cells
// at a time (one of lane_widths()), carrying `totals`. A cell that reaches the pass limit
// has `converged` false.
void run_annual_cycles(int width, const lane_year& year, lane_totals& totals, lane_cycles& cycles);

// The kernels, one a pack width, built for their instruction sets.
namespace lanes_2 {
bool built();  // false where the build lacks the instruction set
void run_annual_cycles(const lane_year& year, lane_totals& totals, lane_cycles& cycles);
}
namespace lanes_4 {
bool built();  // false where the build lacks the instruction set
void run_annual_cycles(const lane_year& year, lane_totals& totals, lane_cycles& cycles);
}
namespace lanes_8 {
bool built();  // false where the build lacks the instruction set
void run_annual_cycles(const lane_year& year, lane_totals& totals, lane_cycles& cycles);
}

}  // namespace soil_climate
