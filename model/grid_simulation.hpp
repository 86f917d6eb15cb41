#pragma once

// Many cells of a climate grid (or many stations) simulated at once, on a pool of threads,
// from contiguous arrays. Each cell is a station: its complete years go through the model
// in order, as a station's years do, and every cell-year equals what station_simulation
// gives for that cell's series of complete years, bit for bit, whatever the number of
// threads.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "classification/classify_regimes.hpp"
#include "common/input_limits.hpp"
#include "model/year_fields.hpp"

namespace soil_climate {

// A station parameter of the cells: one value for every cell (`stride` 0) or one a cell.
struct cell_values {
    const double* values = nullptr;
    std::size_t stride = 1;
    double at(std::size_t cell) const { return values[cell * stride]; }
};

// A monthly array of the grid: (cells, years, 12), January first, laid out with any
// strides (in values), so that a file's time-major layout is read where it lies.
struct monthly_grid {
    const double* values = nullptr;
    std::ptrdiff_t cell_stride = 0;
    std::ptrdiff_t year_stride = 0;
    std::ptrdiff_t month_stride = 1;
    double at(std::size_t cell, std::size_t year, int month) const {
        return values[static_cast<std::ptrdiff_t>(cell) * cell_stride +
                      static_cast<std::ptrdiff_t>(year) * year_stride + month * month_stride];
    }
};

// The grid's inputs. A cell with a missing (NaN) parameter, as a soil map of capacity has
// over the sea, is not simulated. Monthly arrays are (cells, years, 12) in °C and mm; NaN
// marks a missing month, and a year with any missing month is not simulated (its
// outputs are NaN), while the cell's later complete years carry on from its last complete
// one. The station parameters are in the order of the table of station parameters, the
// latitude signed: negative in the south, where it gives the cell its hemisphere. A
// parameter with a default may be left out (no values): every cell then takes its default
// for the cell's hemisphere.
struct grid_inputs {
    std::size_t cells = 0;
    std::size_t years = 0;
    monthly_grid temperature;    // °C
    monthly_grid precipitation;  // mm
    std::array<cell_values, station_parameter_table.size()> parameters{};
    classification_rules rules{};  // the model's own, or with the cold regimes
    // How many cells' annual cycles run side by side (model/cell_lanes.hpp): 0 the
    // default, or one of lane_widths(), 1 one cell at a time. The outputs are the same.
    int lane_width = 0;

    cell_values& parameter(double station_parameters::*value) { return parameters[station_parameter_index(value)]; }
    const cell_values& parameter(double station_parameters::*value) const {
        return parameters[station_parameter_index(value)];
    }
};

// The fields of the table of a year's fields that come from the simulated year: the
// columns of the grid's outputs, in table order.
std::vector<const year_field*> grid_fields();

// How the outputs are laid out: cell by cell, (cells, years, fields), as a table of a
// station's years is; or field by field, (fields, years, cells), each field a map a year,
// as a grid file holds them.
enum class grid_output_order { cell_major, field_major };

// A value that is present but that the model cannot take, or a parameter outside its
// range: which cell, year (0 = the first) and month (-1 for a parameter), and what.
struct grid_problem {
    std::size_t cell;
    std::size_t year;
    input_problem problem;
};

// Simulates every cell into `outputs`, cells x years x grid_fields().size() doubles in the
// `order` given: a number field's value, a day count, or a regime's code (its place in the
// name table), NaN for a year not simulated. The inputs are checked first; the problem of
// the first cell (lowest index) with one is returned and nothing is simulated. `threads` 0
// means every core.
std::optional<grid_problem> simulate_grid(const grid_inputs& inputs, std::span<double> outputs, unsigned threads = 0,
                                          grid_output_order order = grid_output_order::cell_major);

}  // namespace soil_climate
