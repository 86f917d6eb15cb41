#pragma once

#include <string>

namespace soil_climate {

// Appends printf-style formatted text to `text`; the output files are built this way so
// that every line is exactly what the C library's conversions print.
void append_format(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The report's many numeric cells, appended without a trip through the format parser.
// Each is byte for byte the printf conversion named beside it.

// "%<width>.<precision>lf": right-aligned fixed-point. Values of the size the model
// produces are rounded to the precision from their exact binary value, ties to even, as
// printf rounds them; any other value goes through std::to_chars, whose fixed conversion
// is defined as printf's in the "C" locale.
void append_fixed(std::string& text, double value, int width, int precision);

// "%<width>d": a right-aligned integer.
void append_integer(std::string& text, int value, int width);

}  // namespace soil_climate
