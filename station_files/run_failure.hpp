#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace soil_climate {

// A failure that ends the run: its message is printed as one line on standard output
// and the program exits with status 1. Files already completed stay as they are. A
// detail (what the system said of a file that cannot be opened) goes before it, as one
// line on standard error.
class run_failure : public std::runtime_error {
public:
    explicit run_failure(const std::string& message, std::string detail = "")
        : std::runtime_error(message), detail_(std::move(detail)) {}
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

}  // namespace soil_climate
