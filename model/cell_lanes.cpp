#include "model/cell_lanes.hpp"

#include <stdexcept>
#include <string>

namespace soil_climate {
namespace {

// Whether this build and the processor (and the system, which must save the wider
// registers) run the kernel of `width` lanes. The 2-lane kernel needs only the baseline.
bool runs(int width) {
    switch (width) {
        case 1:
            return true;
        case 2:
            return lanes_2::built();
#if defined(__x86_64__)
        case 4:
            return lanes_4::built() && __builtin_cpu_supports("avx2");
        case 8:
            return lanes_8::built() && __builtin_cpu_supports("avx512f");
#endif
        default:
            return false;
    }
}

}  // namespace

std::vector<int> lane_widths() {
    std::vector<int> widths;
    for (const int width : {1, 2, 4, 8}) {
        if (runs(width)) {
            widths.push_back(width);
        }
    }
    return widths;
}

// Measured on the grids the model is run on: 4 lanes (AVX2) gain most; 8 lanes lose part
// of it to cells whose passes end at different slants, and 2 lanes gain too little to
// carry, so without AVX2 the cells go one at a time.
int default_lane_width() {
    return runs(4) ? 4 : 1;
}

void run_annual_cycles(int width, const lane_year& year, lane_totals& totals, lane_cycles& cycles) {
    if (!runs(width)) {
        throw std::invalid_argument("this processor does not run " + std::to_string(width) + " cells side by side");
    }
    switch (width) {
        case 1:
            for (int cell = 0; cell < lane_cells; ++cell) {
                if (year.simulated[cell]) {
                    cycles[cell] = run_water_year(year.monthly_precipitation[cell], year.monthly_pet[cell],
                                                  year.slant_capacity[cell], totals[cell]);
                }
            }
            return;
        case 2:
            return lanes_2::run_annual_cycles(year, totals, cycles);
        case 4:
            return lanes_4::run_annual_cycles(year, totals, cycles);
        case 8:
            return lanes_8::run_annual_cycles(year, totals, cycles);
    }
}

}  // namespace soil_climate
