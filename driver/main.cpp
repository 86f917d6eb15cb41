#include <fcntl.h>
#include <unistd.h>

#include "driver/run_station.hpp"

int main(int argc, char** argv) {
    // Started with standard input, output or error closed (from cron, say), the first
    // files opened would take their numbers, and messages would land in them: keep each
    // of the three open, on /dev/null if need be.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) < 0 && open("/dev/null", O_RDWR) != descriptor) {
            return 1;
        }
    }
    return soil_climate::run_station(argc, argv);
}
