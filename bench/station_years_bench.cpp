// Times the model's entry point over every year of a station folder, in memory: the
// yardstick for the Python module, which runs the same years through the same entry point.
//
// usage: station_years_bench STATION_FOLDER [ROUNDS]
// Prints the median time of one pass over all years, in ms, and per year, in µs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inputs/input_records.hpp"
#include "soil_climate/station_simulation.hpp"

int main(int argc, char** argv) {
    using namespace soil_climate;
    if (argc < 2) {
        std::fprintf(stderr, "usage: station_years_bench STATION_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
    std::FILE* t = std::fopen((folder + "monthly_T").c_str(), "r");
    std::FILE* p = std::fopen((folder + "monthly_P").c_str(), "r");
    std::FILE* parameter = std::fopen((folder + "parameter").c_str(), "r");
    if (t == nullptr || p == nullptr || parameter == nullptr) {
        std::fprintf(stderr, "cannot open the station's files\n");
        return 1;
    }
    text_scanner temperature(t, "monthly_T");
    text_scanner precipitation(p, "monthly_P");
    text_scanner parameters(parameter, "parameter");
    warning_list warnings;
    const station_parameters station = read_station_parameters(parameters, warnings);
    std::vector<year_inputs> years;
    year_record record;
    for (int n = 1; read_year(temperature, precipitation, n, record); ++n) {
        years.push_back(record.inputs);
    }

    std::vector<double> milliseconds;
    long checksum = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        simulate_station(station, years, [&](const year_result& year) { checksum += year.counts.bio8_days; });
        milliseconds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const double median = milliseconds[milliseconds.size() / 2];
    std::printf("C++ entry point: %zu years in %.2f ms (median of %d; %.2f to %.2f), %.2f us a year [%ld]\n",
                years.size(), median, rounds, milliseconds.front(), milliseconds.back(), median * 1e3 / years.size(),
                checksum);
    return 0;
}
