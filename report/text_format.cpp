#include "report/text_format.hpp"

#include <cstdarg>
#include <cstdio>

namespace soil_climate {

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

}  // namespace soil_climate
