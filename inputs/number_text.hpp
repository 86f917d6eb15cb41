#pragma once

#include <cstddef>
#include <string_view>

namespace soil_climate {

// What a formatted read of a double ("%lf" after its white space is skipped) takes from
// the start of `text`: the longest leading text that is, or starts, a number (so "45.2-3.1"
// gives 45.2 and leaves "-3.1", and "46e" takes the dangling "e" too), and its value.
// `length` is 0 when the read would fail: the text does not start with a digit, a decimal
// point followed by a digit, or a sign before one of these; and also for the words of
// infinity and NaN, which no input of the model may hold.
struct leading_number {
    std::size_t length = 0;
    double value = 0.0;
};
leading_number read_leading_number(std::string_view text);

// True when `text`, blanks around it aside, is wholly one finite number, with no dangling
// exponent ("1e", "150e-"); `value` gets it.
bool parse_whole_number(std::string_view text, double& value);

}  // namespace soil_climate
