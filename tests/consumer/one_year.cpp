// One year of a Mediterranean valley station through the installed entry point.
#include <cstdio>
#include <soil_climate/station_simulation.hpp>

int main() {
    using namespace soil_climate;
    station_parameters davis{38.5, earth_hemisphere::north, 152.4, 2.5, 0.66, 0.0, "Davis"};  // capacity in mm
    station_simulation simulation(davis);
    const year_result& year = simulation.simulate_year(
        {7.9, 10.3, 12.6, 14.9, 18.5, 21.7, 23.7, 23.1, 21.3, 17.0, 11.6, 7.8},      // mean air temperature, °C
        {102.4, 97.3, 71.1, 30.0, 16.0, 5.1, 0.5, 1.5, 6.1, 26.7, 57.9, 89.7});   // precipitation, mm
    std::printf("%s, %s, %s, BIO8 %d days\n", name_of(year.moisture_regime).data(), name_of(year.subdivision).data(),
                name_of(year.temperature_regime).data(), year.counts.bio8_days);
}
