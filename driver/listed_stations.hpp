#pragma once

#include <functional>
#include <istream>

#include "driver/command_line.hpp"

namespace soil_climate {

// Runs the stations listed on `list`, each as `run_station` run alone in its folder
// would: the list holds NUL-separated triples of the station's folder, the name of its log
// files in `options.logs_dir` and the folder of its outputs (the station's own folder for
// its outputs beside the inputs). Each station's standard output and error go to
// LOGS_DIR/<name>.out and its exit status to LOGS_DIR/<name>.status, as the shell did for
// one process per station; a station whose log cannot be written is passed over, and one
// whose folder cannot be entered ends with status 1. Relative folders are taken from the
// working folder the run began in. `run_one` runs one station with its options and
// returns its exit status. Returns 0 once every station is done, 1 when the working folder
// can no longer be returned to.
int run_listed_stations(const command_line& options, std::istream& list,
                        const std::function<int(const command_line&)>& run_one);

}  // namespace soil_climate
