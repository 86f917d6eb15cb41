#include "report/text_format.hpp"

#include <charconv>
#include <cstdarg>
#include <cstdio>

namespace soil_climate {
namespace {

void append_right_aligned(std::string& text, const char* first, const char* last, int width) {
    const int length = static_cast<int>(last - first);
    if (length < width) {
        text.append(static_cast<std::size_t>(width - length), ' ');
    }
    text.append(first, last);
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

void append_fixed(std::string& text, double value, int width, int precision) {
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
