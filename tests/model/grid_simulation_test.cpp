// The many-cell entry point: every complete cell-year equals the single-station model on
// that cell's complete years, bit for bit and whatever the threads; missing months mask
// their year; values no station can have are refused, naming the cell, year and month.
#include "model/grid_simulation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t years = 5;

// Four cells: temperate, southern, one with a missing month in its second year, and sea.
struct small_grid {
    std::vector<double> temperature = std::vector<double>(4 * years * 12);
    std::vector<double> precipitation = std::vector<double>(4 * years * 12);
    std::vector<double> latitude{38.5, -33.9, 52.0, 10.0};
    std::vector<double> offset{2.5, 1.0, 2.5, 2.5};
    double capacity = 150.0;
    double factor = 0.66;
    std::vector<double> shift{0.0, 90.0, 0.0, 0.0};

    small_grid() {
        for (std::size_t cell = 0; cell < 4; ++cell) {
            for (std::size_t year = 0; year < years; ++year) {
                for (int m = 0; m < 12; ++m) {
                    const std::size_t at = (cell * years + year) * 12 + m;
                    const double season = std::cos((m - 6.5) * 3.14159265358979 / 6.0) * (cell == 1 ? -1.0 : 1.0);
                    temperature[at] = 12.0 + 8.0 * season + 0.3 * static_cast<double>(year) + cell;
                    precipitation[at] = 60.0 - 40.0 * season + 5.0 * static_cast<double>(year);
                }
            }
        }
        temperature[(2 * years + 1) * 12 + 7] = nan;  // cell 2, year 1, August
        std::fill(temperature.begin() + 3 * years * 12, temperature.end(), nan);
        std::fill(precipitation.begin() + 3 * years * 12, precipitation.end(), nan);
    }

    grid_inputs inputs() const {
        grid_inputs inputs{
            4, years, {temperature.data(), years * 12, 12, 1}, {precipitation.data(), years * 12, 12, 1}};
        inputs.parameter(&station_parameters::latitude) = {latitude.data()};
        inputs.parameter(&station_parameters::water_holding_capacity) = {&capacity, 0};
        inputs.parameter(&station_parameters::soil_temp_offset) = {offset.data()};
        inputs.parameter(&station_parameters::amplitude_factor) = {&factor, 0};
        inputs.parameter(&station_parameters::phase_shift) = {shift.data()};
        return inputs;
    }
};

std::vector<double> simulated(const small_grid& grid, unsigned threads) {
    std::vector<double> outputs(4 * years * grid_fields().size());
    EXPECT_FALSE(simulate_grid(grid.inputs(), outputs, threads).has_value());
    return outputs;
}

TEST(GridSimulation, EveryCompleteCellYearIsTheStationModelsBitForBit) {
    const small_grid grid;
    const std::vector<double> outputs = simulated(grid, 1);
    const std::vector<const year_field*> fields = grid_fields();
    for (std::size_t cell = 0; cell < 3; ++cell) {
        station_parameters station;
        station.latitude = std::fabs(grid.latitude[cell]);
        station.hemisphere = grid.latitude[cell] < 0 ? earth_hemisphere::south : earth_hemisphere::north;
        station.water_holding_capacity = grid.capacity;
        station.soil_temp_offset = grid.offset[cell];
        station.amplitude_factor = grid.factor;
        station.phase_shift = grid.shift[cell];
        station_simulation alone(station);
        for (std::size_t year = 0; year < years; ++year) {
            const double* out = outputs.data() + (cell * years + year) * fields.size();
            if (cell == 2 && year == 1) {
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    EXPECT_TRUE(std::isnan(out[f])) << fields[f]->name;
                }
                continue;  // the station's series goes on with its next complete year
            }
            monthly_series t{};
            monthly_series p{};
            std::copy_n(grid.temperature.data() + (cell * years + year) * 12, 12, t.begin());
            std::copy_n(grid.precipitation.data() + (cell * years + year) * 12, 12, p.begin());
            const year_result& expected = alone.simulate_year(t, p);
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const double want = fields[f]->read({{}, station, expected}).number;
                EXPECT_EQ(std::memcmp(&out[f], &want, sizeof want), 0)
                    << "cell " << cell << ", year " << year << ", " << fields[f]->name;
            }
        }
    }
    for (std::size_t i = 3 * years * fields.size(); i < outputs.size(); ++i) {
        EXPECT_TRUE(std::isnan(outputs[i])) << "the sea cell is all missing";
    }
    // A soil map without a capacity for a cell masks the cell, and only it.
    small_grid unmapped;
    std::vector<double> capacities{150.0, std::numeric_limits<double>::quiet_NaN(), 150.0, 150.0};
    grid_inputs inputs = unmapped.inputs();
    inputs.parameter(&station_parameters::water_holding_capacity) = {capacities.data()};
    std::vector<double> masked(outputs.size());
    ASSERT_FALSE(simulate_grid(inputs, masked, 2).has_value());
    for (std::size_t i = 0; i < masked.size(); ++i) {
        const bool second_cell = i / (years * fields.size()) == 1;
        EXPECT_EQ(std::isnan(masked[i]), second_cell || std::isnan(outputs[i])) << i;
    }
    EXPECT_EQ(std::memcmp(simulated(grid, 3).data(), outputs.data(), outputs.size() * sizeof(double)), 0)
        << "three threads give the bits of one";
    // Field by field, each value lies where a grid file holds it, with the same bits.
    std::vector<double> by_field(outputs.size());
    ASSERT_FALSE(simulate_grid(grid.inputs(), by_field, 2, grid_output_order::field_major).has_value());
    for (std::size_t cell = 0; cell < 4; ++cell) {
        for (std::size_t year = 0; year < years; ++year) {
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const double& want = outputs[(cell * years + year) * fields.size() + f];
                EXPECT_EQ(std::memcmp(&by_field[(f * years + year) * 4 + cell], &want, sizeof want), 0)
                    << "cell " << cell << ", year " << year << ", " << fields[f]->name;
            }
        }
    }
}

TEST(GridSimulation, AParameterLeftOutTakesItsDefaultForEachCellsHemisphere) {
    small_grid spelled;  // the southern cell's phase shift is the southern default already
    spelled.offset.assign(4, station_parameter_table[station_parameter_index("soil_temp_offset")].default_value);
    grid_inputs given = spelled.inputs();
    std::vector<double> expected(4 * years * grid_fields().size());
    ASSERT_FALSE(simulate_grid(given, expected, 1).has_value());
    grid_inputs left_out = given;
    left_out.parameter(&station_parameters::soil_temp_offset) = {};
    left_out.parameter(&station_parameters::phase_shift) = {};
    std::vector<double> outputs(expected.size());
    ASSERT_FALSE(simulate_grid(left_out, outputs, 2).has_value());
    EXPECT_EQ(std::memcmp(outputs.data(), expected.data(), outputs.size() * sizeof(double)), 0);
    // The northern default in the south would be another calendar.
    spelled.shift.assign(4, 0.0);
    std::vector<double> northern(expected.size());
    ASSERT_FALSE(simulate_grid(spelled.inputs(), northern, 1).has_value());
    EXPECT_NE(std::memcmp(northern.data(), expected.data(), outputs.size() * sizeof(double)), 0);
    // Latitude and capacity have no default: a grid without them is a caller's fault.
    for (double station_parameters::*value :
         {&station_parameters::latitude, &station_parameters::water_holding_capacity}) {
        grid_inputs lacking = given;
        lacking.parameter(value) = {};
        EXPECT_THROW(simulate_grid(lacking, outputs, 1), std::invalid_argument);
    }
}

TEST(GridSimulation, ValuesNoStationHasAreRefusedNamingCellYearAndMonth) {
    struct refusal {
        void (*spoil)(small_grid&);
        std::size_t cell;
        std::size_t year;
        int month;
        input_fault fault;
    };
    const refusal cases[] = {
        {[](small_grid& g) { g.temperature[(1 * years + 3) * 12 + 4] = -9999.0; }, 1, 3, 4,
         input_fault::missing_value_code},
        {[](small_grid& g) { g.precipitation[(0 * years + 2) * 12 + 0] = -1.0; }, 0, 2, 0, input_fault::out_of_range},
        {[](small_grid& g) { g.latitude[2] = -95.0; }, 2, 0, -1, input_fault::out_of_range},
        {[](small_grid& g) { g.capacity = -5.0; }, 0, 0, -1, input_fault::out_of_range},
    };
    for (const refusal& c : cases) {
        small_grid grid;
        c.spoil(grid);
        std::vector<double> outputs(4 * years * grid_fields().size(), 7.0);
        const auto problem = simulate_grid(grid.inputs(), outputs, 2);
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->cell, c.cell);
        EXPECT_EQ(problem->year, c.year);
        EXPECT_EQ(problem->problem.month, c.month);
        EXPECT_EQ(problem->problem.fault, c.fault);
        EXPECT_EQ(outputs.front(), 7.0) << "nothing is simulated";
    }
}

}  // namespace
}  // namespace soil_climate
