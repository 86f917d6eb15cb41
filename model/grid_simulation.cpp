#include "model/grid_simulation.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "evapotranspiration/pet.hpp"
#include "model/cell_lanes.hpp"
#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

// The cells taken at once by a thread: small enough to share the work out evenly, large
// enough that the shared counter is touched seldom.
constexpr std::size_t cells_per_take = 16;

// The station of a cell: the hemisphere from the sign of its latitude, a parameter not
// given its default for that hemisphere.
station_parameters station_of(const grid_inputs& inputs, std::size_t cell) {
    const double latitude = inputs.parameter(&station_parameters::latitude).at(cell);
    const earth_hemisphere hemisphere = latitude < 0.0 ? earth_hemisphere::south : earth_hemisphere::north;
    station_parameters station;
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        const cell_values& values = inputs.parameters[i];
        station.*station_parameter_table[i].value =
            values.values != nullptr ? values.at(cell) : default_for(station_parameter_table[i], hemisphere);
    }
    station.latitude = std::fabs(latitude);
    station.hemisphere = hemisphere;
    return station;
}

// A year's twelve values of one element.
monthly_series year_of(const monthly_grid& grid, std::size_t cell, std::size_t year) {
    monthly_series values{};
    for (int m = 0; m < months_per_year; ++m) {
        values[m] = grid.at(cell, year, m);
    }
    return values;
}

// A year with a missing (NaN) month of either element is not simulated.
bool complete(const monthly_series& temperature, const monthly_series& precipitation) {
    for (int m = 0; m < months_per_year; ++m) {
        if (std::isnan(temperature[m]) || std::isnan(precipitation[m])) {
            return false;
        }
    }
    return true;
}

// A cell with a missing (NaN) parameter, as a soil map has over the sea, is masked: not
// simulated, all its outputs missing.
bool masked(const grid_inputs& inputs, std::size_t cell) {
    for (const cell_values& values : inputs.parameters) {
        if (values.values != nullptr && std::isnan(values.at(cell))) {
            return true;
        }
    }
    return false;
}

// The first problem of a cell: a parameter, then the months of its complete years.
std::optional<grid_problem> check_cell(const grid_inputs& inputs, std::size_t cell) {
    if (masked(inputs, cell)) {
        return std::nullopt;
    }
    if (const auto problem = check_station(station_of(inputs, cell))) {
        return grid_problem{cell, 0, *problem};
    }
    for (std::size_t year = 0; year < inputs.years; ++year) {
        const monthly_series t = year_of(inputs.temperature, cell, year);
        const monthly_series p = year_of(inputs.precipitation, cell, year);
        if (!complete(t, p)) {
            continue;
        }
        for (int m = 0; m < months_per_year; ++m) {
            for (const auto& [value, range] : {std::pair{t[m], &air_temperature_celsius},
                                               std::pair{p[m], &precipitation_mm}}) {
                if (const auto problem = check_monthly_value(value, *range, m)) {
                    return grid_problem{cell, year, *problem};
                }
            }
        }
    }
    return std::nullopt;
}

// Where the outputs of one cell-year lie: the place of its first field and the step from
// one field to the next.
struct output_places {
    std::size_t cells, years, fields;
    grid_output_order order;
    std::size_t first(std::size_t cell, std::size_t year) const {
        return order == grid_output_order::cell_major ? (cell * years + year) * fields : year * cells + cell;
    }
    std::size_t field_step() const { return order == grid_output_order::cell_major ? 1 : years * cells; }
};

// Writes a cell-year's outputs: its fields, or NaN in each for a year not simulated.
struct output_writer {
    std::span<const year_field* const> fields;
    std::span<double> outputs;
    output_places places;

    void write(std::size_t cell, std::size_t year, const station_year* row) const {
        double* out = outputs.data() + places.first(cell, year);
        const std::size_t step = places.field_step();
        for (std::size_t f = 0; f < fields.size(); ++f) {
            out[f * step] = row != nullptr ? fields[f]->read(*row).number : std::numeric_limits<double>::quiet_NaN();
        }
    }
};

// Simulates up to `lane_cells` cells that share a depletion order, year by year, their
// annual cycles side by side `width` at a time; the rest of each year is the station
// model's own, cell by cell.
void simulate_lanes(const grid_inputs& inputs, std::span<const std::size_t> cells, int width,
                    const output_writer& writer) {
    std::array<std::optional<station_simulation>, lane_cells> simulations;
    std::array<monthly_series, lane_cells> temperatures{};
    lane_year year;
    lane_totals totals{};
    lane_cycles cycles{};
    for (std::size_t lane = 0; lane < cells.size(); ++lane) {
        simulations[lane].emplace(station_of(inputs, cells[lane]), inputs.rules);
        year.slant_capacity[lane] = simulations[lane]->slant_capacity();
    }
    year.row_order = uses_row_order(year.slant_capacity[0]);
    for (std::size_t y = 0; y < inputs.years; ++y) {
        for (std::size_t lane = 0; lane < cells.size(); ++lane) {
            temperatures[lane] = year_of(inputs.temperature, cells[lane], y);
            year.monthly_precipitation[lane] = year_of(inputs.precipitation, cells[lane], y);
            year.simulated[lane] = complete(temperatures[lane], year.monthly_precipitation[lane]);
            if (year.simulated[lane]) {
                const station_parameters& station = simulations[lane]->station();
                year.monthly_pet[lane] = compute_pet(temperatures[lane], station.latitude, station.hemisphere);
            }
        }
        run_annual_cycles(width, year, totals, cycles);
        for (std::size_t lane = 0; lane < cells.size(); ++lane) {
            if (!year.simulated[lane]) {
                writer.write(cells[lane], y, nullptr);
                continue;
            }
            station_simulation& simulation = *simulations[lane];
            const station_year row{
                {}, simulation.station(),
                simulation.finish_year(temperatures[lane], year.monthly_precipitation[lane], cycles[lane])};
            writer.write(cells[lane], y, &row);
        }
    }
}

// Simulates the cells from `first` to before `last`: a masked cell's outputs are all
// missing; the others go side by side in groups of one depletion order.
void simulate_take(const grid_inputs& inputs, std::size_t first, std::size_t last, int width,
                   const output_writer& writer) {
    std::array<std::vector<std::size_t>, 2> by_order;  // diagonal order, row order
    for (std::size_t cell = first; cell < last; ++cell) {
        if (masked(inputs, cell)) {
            for (std::size_t year = 0; year < inputs.years; ++year) {
                writer.write(cell, year, nullptr);
            }
            continue;
        }
        const double capacity = station_of(inputs, cell).water_holding_capacity / 64.0;
        by_order[uses_row_order(capacity) ? 1 : 0].push_back(cell);
    }
    for (const std::vector<std::size_t>& group : by_order) {
        for (std::size_t start = 0; start < group.size(); start += lane_cells) {
            const std::size_t count = std::min<std::size_t>(lane_cells, group.size() - start);
            simulate_lanes(inputs, std::span(group).subspan(start, count), width, writer);
        }
    }
}

// Runs `work(first, last)` over every take of cells on `threads` threads, each taking the
// next cells as it is free. A failure of the model in any thread stops them all and is thrown here.
template <typename Work>
void for_each_cell(std::size_t cells, unsigned threads, Work&& work) {
    std::atomic<std::size_t> next{0};
    std::mutex failure_guard;
    std::exception_ptr failure;
    const auto worker = [&] {
        try {
            for (std::size_t first; (first = next.fetch_add(cells_per_take)) < cells;) {
                work(first, std::min(cells, first + cells_per_take));
            }
        } catch (...) {
            next = cells;
            const std::lock_guard held(failure_guard);
            failure = failure ? failure : std::current_exception();
        }
    };
    {
        std::vector<std::jthread> pool;
        for (unsigned t = 1; t < threads; ++t) {
            pool.emplace_back(worker);
        }
        worker();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace

std::vector<const year_field*> grid_fields() {
    std::vector<const year_field*> fields;
    for (const year_field& field : year_fields) {
        if (field.source == field_source::year) {
            fields.push_back(&field);
        }
    }
    return fields;
}

std::optional<grid_problem> simulate_grid(const grid_inputs& inputs, std::span<double> outputs, unsigned threads,
                                          grid_output_order order) {
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        if (inputs.parameters[i].values == nullptr && !station_parameter_table[i].has_default) {
            throw std::invalid_argument(std::string("the grid's inputs lack the station parameter ") +
                                        station_parameter_table[i].name + ", which has no default");
        }
    }
    if (threads == 0) {
        threads = std::max(1u, std::thread::hardware_concurrency());
    }
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(inputs.cells, 1)));

    // The check, in parallel too; the problem of the lowest cell wins, so that the answer
    // does not depend on the threads.
    std::mutex found_guard;
    std::optional<grid_problem> found;
    for_each_cell(inputs.cells, threads, [&](std::size_t first, std::size_t last) {
        for (std::size_t cell = first; cell < last; ++cell) {
            if (auto problem = check_cell(inputs, cell)) {
                const std::lock_guard held(found_guard);
                if (!found || problem->cell < found->cell) {
                    found = problem;
                }
                return;
            }
        }
    });
    if (found) {
        return found;
    }
    const std::vector<const year_field*> fields = grid_fields();
    if (outputs.size() != inputs.cells * inputs.years * fields.size()) {
        throw std::invalid_argument("the grid's outputs must hold cells x years x fields values");
    }
    const int width = inputs.lane_width == 0 ? default_lane_width() : inputs.lane_width;
    const output_writer writer{fields, outputs, {inputs.cells, inputs.years, fields.size(), order}};
    for_each_cell(inputs.cells, threads,
                  [&](std::size_t first, std::size_t last) { simulate_take(inputs, first, last, width, writer); });
    return std::nullopt;
}

}  // namespace soil_climate
