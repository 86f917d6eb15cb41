#include "driver/command_line.hpp"

#include <cstdlib>

namespace soil_climate {

command_line parse_command_line(int argc, const char* const* argv) {
    command_line options;
    if (argc > 1) {
        options.capacity_given = true;
        options.capacity_text = argv[1];
        options.capacity_mm = std::atof(argv[1]);
    }
    if (argc > 2) {
        options.file_prefix = argv[2];
    }
    return options;
}

}  // namespace soil_climate
