#pragma once

#include <stdexcept>
#include <string>

namespace soil_climate {

// A failure that ends the run: its message is printed as one line on standard output
// and the program exits with status 1. Files already completed stay as they are.
class run_failure : public std::runtime_error {
public:
    explicit run_failure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace soil_climate
