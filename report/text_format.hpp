#pragma once

#include <string>

namespace soil_climate {

// Appends printf-style formatted text to `text`; the output files are built this way so
// that every line is exactly what the C library's conversions print.
void append_format(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace soil_climate
