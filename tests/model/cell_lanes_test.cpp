// Cells side by side: at every pack width this processor runs, each lane's annual cycle
// is the station model's, bit for bit, over generated cells that settle after one, two
// and many passes, dry and saturated cells, shallow soils (the row order), missing years
// and cells of very different climates in one pack.
#include "model/cell_lanes.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <random>
#include <vector>

#include "evapotranspiration/pet.hpp"
#include "model/grid_simulation.hpp"

namespace soil_climate {
namespace {

// A generated cell: its climate, year by year, and its capacity (mm).
struct cell_climate {
    std::vector<monthly_series> precipitation;
    std::vector<monthly_series> pet;
    double capacity_mm;
};

// Cells of each kind, `years` years each; a kind's cells differ by their draws.
enum class cell_kind { varied, dry, saturated, settles_at_once, slow_to_settle };

cell_climate generated_cell(cell_kind kind, std::mt19937_64& draw, int years) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    cell_climate cell{{}, {}, 20.0 + 380.0 * unit(draw)};
    for (int y = 0; y < years; ++y) {
        monthly_series temperature{};
        monthly_series precipitation{};
        const double warmth = -5.0 + 30.0 * unit(draw);
        const double wetness = 200.0 * unit(draw) * unit(draw);
        for (int m = 0; m < months_per_year; ++m) {
            temperature[m] = warmth + 10.0 * (unit(draw) - 0.5);
            precipitation[m] = wetness * unit(draw);
        }
        switch (kind) {
            case cell_kind::varied:
                break;
            case cell_kind::dry:
                precipitation.fill(0.0);
                break;
            case cell_kind::saturated:
                precipitation.fill(900.0);
                break;
            case cell_kind::settles_at_once:  // never wet: the totals stay at 0.0
                precipitation.fill(0.0);
                temperature.fill(-10.0);
                break;
            case cell_kind::slow_to_settle:  // a deep soil that a small surplus fills slowly
                cell.capacity_mm = 4000.0;
                temperature.fill(-10.0);
                precipitation.fill(12.0);
                break;
        }
        cell.precipitation.push_back(precipitation);
        cell.pet.push_back(compute_pet(temperature, 20.0 + 40.0 * unit(draw), earth_hemisphere::north));
    }
    return cell;
}

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_same_cycle(const annual_cycle_result& lanes, const annual_cycle_result& alone, int width, int cell,
                       int year) {
    SCOPED_TRACE(::testing::Message() << "width " << width << ", cell " << cell << ", year " << year);
    ASSERT_EQ(lanes.converged, alone.converged);
    EXPECT_EQ(lanes.passes, alone.passes);
    EXPECT_EQ(lanes.moisture_calendar, alone.moisture_calendar);
    for (int slant = 0; slant < slant_count; ++slant) {
        EXPECT_TRUE(same_bits(lanes.moisture_profile[slant], alone.moisture_profile[slant])) << "slant " << slant + 1;
    }
}

TEST(CellLanes, EveryLaneIsTheStationModelsCycleAtEveryWidth) {
    constexpr int years = 6;
    std::mt19937_64 draw(20261210);
    // Packs of eight: one of each kind mixed with varied cells, then packs of one kind.
    std::vector<std::vector<cell_climate>> packs;
    const cell_kind kinds[] = {cell_kind::varied, cell_kind::dry, cell_kind::saturated, cell_kind::settles_at_once,
                               cell_kind::slow_to_settle};
    for (int mixed = 0; mixed < 6; ++mixed) {
        std::vector<cell_climate> pack;
        for (int lane = 0; lane < lane_cells; ++lane) {
            pack.push_back(generated_cell(kinds[(lane + mixed) % 5], draw, years));
        }
        packs.push_back(pack);
    }
    for (const cell_kind kind : kinds) {
        std::vector<cell_climate> pack;
        for (int lane = 0; lane < lane_cells; ++lane) {
            pack.push_back(generated_cell(kind, draw, years));
        }
        packs.push_back(pack);
    }

    std::vector<int> passes_seen;
    bool row_order_seen = false;
    for (const int width : lane_widths()) {
        for (const std::vector<cell_climate>& pack : packs) {
            for (const bool row_order : {false, true}) {
                // One order a pack: its cells' capacities brought under or over 100 mm.
                lane_year year;
                year.row_order = row_order;
                lane_totals totals{};
                lane_totals alone_totals{};
                lane_cycles cycles{};
                for (int lane = 0; lane < lane_cells; ++lane) {
                    const double capacity = row_order ? 20.0 + pack[lane].capacity_mm / 10.0
                                                      : std::max(100.0, pack[lane].capacity_mm);
                    year.slant_capacity[lane] = capacity / 64.0;
                }
                row_order_seen = row_order_seen || uses_row_order(year.slant_capacity[0]) == row_order;
                for (int y = 0; y < years; ++y) {
                    for (int lane = 0; lane < lane_cells; ++lane) {
                        // Missing years: some lanes are held while the others go on.
                        year.simulated[lane] = (y + lane) % 4 != 3;
                        year.monthly_precipitation[lane] = pack[lane].precipitation[y];
                        year.monthly_pet[lane] = pack[lane].pet[y];
                    }
                    run_annual_cycles(width, year, totals, cycles);
                    for (int lane = 0; lane < lane_cells; ++lane) {
                        if (!year.simulated[lane]) {
                            continue;
                        }
                        const annual_cycle_result alone =
                            run_water_year(year.monthly_precipitation[lane], year.monthly_pet[lane],
                                           year.slant_capacity[lane], alone_totals[lane]);
                        expect_same_cycle(cycles[lane], alone, width, lane, y);
                        EXPECT_TRUE(same_bits(totals[lane].profile_total, alone_totals[lane].profile_total));
                        passes_seen.push_back(alone.passes);
                    }
                }
            }
        }
    }
    const auto seen = [&](auto&& holds) { return std::any_of(passes_seen.begin(), passes_seen.end(), holds); };
    EXPECT_TRUE(seen([](int passes) { return passes == 1; }));
    EXPECT_TRUE(seen([](int passes) { return passes == 2; }));
    EXPECT_TRUE(seen([](int passes) { return passes > 20; }));
    EXPECT_TRUE(row_order_seen);
    std::cout << "widths run:";
    for (const int width : lane_widths()) {
        std::cout << ' ' << width;
    }
    std::cout << '\n';
}

// The many-cell entry point gives the same bits at every width, southern cells, masked
// cells and shallow soils among them, whatever the threads.
TEST(CellLanes, TheGridIsTheSameAtEveryWidth) {
    constexpr std::size_t cells = 37;
    constexpr std::size_t years = 4;
    std::mt19937_64 draw(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> temperature(cells * years * 12);
    std::vector<double> precipitation(cells * years * 12);
    std::vector<double> latitude(cells);
    std::vector<double> capacity(cells);
    for (std::size_t cell = 0; cell < cells; ++cell) {
        latitude[cell] = -60.0 + 120.0 * unit(draw);
        capacity[cell] = cell % 9 == 4 ? std::nan("") : (cell % 5 == 0 ? 60.0 : 50.0 + 300.0 * unit(draw));
        for (std::size_t i = 0; i < years * 12; ++i) {
            temperature[cell * years * 12 + i] = -10.0 + 40.0 * unit(draw);
            precipitation[cell * years * 12 + i] = 250.0 * unit(draw) * unit(draw);
        }
    }
    precipitation[(3 * years + 2) * 12 + 5] = std::nan("");  // cell 3, year 2: missing
    grid_inputs inputs{cells, years, {temperature.data(), years * 12, 12, 1}, {precipitation.data(), years * 12, 12, 1}};
    inputs.parameter(&station_parameters::latitude) = {latitude.data()};
    inputs.parameter(&station_parameters::water_holding_capacity) = {capacity.data()};

    const auto outputs_at = [&](int width, unsigned threads) {
        inputs.lane_width = width;
        std::vector<double> outputs(cells * years * grid_fields().size());
        EXPECT_FALSE(simulate_grid(inputs, outputs, threads).has_value());
        return outputs;
    };
    const std::vector<double> one_at_a_time = outputs_at(1, 1);
    for (const int width : lane_widths()) {
        for (const unsigned threads : {1u, 2u}) {
            const std::vector<double> outputs = outputs_at(width, threads);
            EXPECT_EQ(std::memcmp(outputs.data(), one_at_a_time.data(), outputs.size() * sizeof(double)), 0)
                << "width " << width << ", threads " << threads;
        }
    }
    inputs.lane_width = 3;
    std::vector<double> outputs(cells * years * grid_fields().size());
    EXPECT_THROW(simulate_grid(inputs, outputs, 1), std::invalid_argument);
}

}  // namespace
}  // namespace soil_climate
