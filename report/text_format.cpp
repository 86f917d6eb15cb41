#include "report/text_format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace soil_climate {
namespace {

void append_right_aligned(std::string& text, const char* first, const char* last, int width) {
    const std::size_t length = static_cast<std::size_t>(last - first);
    const std::size_t padding = length < static_cast<std::size_t>(width) ? static_cast<std::size_t>(width) - length : 0;
    const std::size_t at = text.size();
    text.resize(at + padding + length);
    char* cell = text.data() + at;
    std::fill(cell, cell + padding, ' ');
    std::copy(first, last, cell + padding);
}

}  // namespace

void append_format(std::string& text, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    va_list retry;
    va_copy(retry, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) {
        va_end(retry);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        text.append(buffer, static_cast<std::size_t>(length));
    } else {
        // Longer than the buffer (a long station name or label): format in place.
        const std::size_t old_size = text.size();
        text.resize(old_size + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data() + old_size, static_cast<std::size_t>(length) + 1, format, retry);
        text.resize(old_size + static_cast<std::size_t>(length));
    }
    va_end(retry);
}

namespace {

constexpr double powers_of_ten[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};
constexpr long long integer_powers_of_ten[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// The exact product a × b as the unevaluated sum hi + lo (Dekker's two-product, without a
// fused multiply-add): no rounding is lost.
void exact_product(double a, double b, double& hi, double& lo) {
    constexpr double splitter = 134217729.0;  // 2^27 + 1
    const auto split = [](double x, double& x_hi, double& x_lo) {
        const double c = splitter * x;
        x_hi = c - (c - x);
        x_lo = x - x_hi;
    };
    double a_hi = 0.0, a_lo = 0.0, b_hi = 0.0, b_lo = 0.0;
    split(a, a_hi, a_lo);
    split(b, b_hi, b_lo);
    hi = a * b;
    lo = ((a_hi * b_hi - hi) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo;
}

// `value` × 10^precision rounded to the nearest integer, ties to even, from the exact
// binary value, as printf rounds it. False when the value is too large for this path.
bool scaled_to_integer(double value, int precision, long long& scaled) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1.0e12)) {
        return false;
    }
    double hi = 0.0, lo = 0.0;
    exact_product(magnitude, powers_of_ten[precision], hi, lo);
    constexpr double two_51 = 2251799813685248.0;
    constexpr double two_52 = 2.0 * two_51;
    if (!(hi < two_51)) {
        return false;
    }
    // Adding and removing 2^52 rounds a non-negative double below 2^52 to an integer,
    // ties to even, as the hardware rounds.
    const double nearest = (hi + two_52) - two_52;
    const double offset = hi - nearest;  // exact: both are close multiples of hi's unit
    long long result = static_cast<long long>(nearest);
    if (offset == 0.5 || offset == -0.5) {
        // hi is a midpoint: the part lost in rounding the product decides, or an exact tie
        // goes to the even neighbour.
        const long long below = offset > 0.0 ? result : result - 1;
        if (lo > 0.0) {
            result = below + 1;
        } else if (lo < 0.0) {
            result = below;
        } else {
            result = below % 2 == 0 ? below : below + 1;
        }
    }
    scaled = result;
    return true;
}

}  // namespace

void append_fixed(std::string& text, double value, int width, int precision) {
    long long scaled = 0;
    if (precision >= 0 && precision <= 6 && scaled_to_integer(value, precision, scaled)) {
        // Digits from the right: the fraction, the point, the integer part, the sign.
        char buffer[32];
        char* first = buffer + sizeof buffer;
        const long long unit = integer_powers_of_ten[precision];
        long long whole = scaled / unit;
        long long fraction = scaled % unit;
        for (int digit = 0; digit < precision; ++digit) {
            *--first = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        if (precision > 0) {
            *--first = '.';
        }
        do {
            *--first = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole > 0);
        if (std::signbit(value)) {
            *--first = '-';
        }
        append_right_aligned(text, first, buffer + sizeof buffer, width);
        return;
    }
    // Room for any double in fixed notation: up to 309 integer digits, sign and fraction.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    append_right_aligned(text, buffer, result.ptr, width);
}

void append_integer(std::string& text, int value, int width) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    append_right_aligned(text, buffer, result.ptr, width);
}

}  // namespace soil_climate
