#include "driver/run_station.hpp"

int main(int argc, char** argv) {
    return soil_climate::run_station(argc, argv);
}
