#pragma once

namespace soil_climate {

// The whole run of one station, from the command line to the closing line. Returns the
// exit status: 0 on success, 1 after printing a one-line failure message.
int run_station(int argc, const char* const* argv);

}  // namespace soil_climate
