#include "common/year_gaps.hpp"

#include <charconv>
#include <optional>

namespace soil_climate {
namespace {

// A label that is a year number: one to six digits and nothing else.
std::optional<long> year_number(std::string_view label) {
    long year = 0;
    if (label.empty() || label.size() > 6) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(label.data(), label.data() + label.size(), year);
    if (error != std::errc() || end != label.data() + label.size() || label.front() == '-') {
        return std::nullopt;
    }
    return year;
}

// The number of years missing between two labels, 0 unless both are year numbers.
long missing_count(std::string_view earlier, std::string_view later) {
    const auto first = year_number(earlier);
    const auto last = year_number(later);
    return first && last && *last > *first + 1 ? *last - *first - 1 : 0;
}

}  // namespace

int gap_rows(std::string_view earlier, std::string_view later) {
    const long missing = missing_count(earlier, later);
    return missing > longest_gap_drawn_by_year ? 1 : static_cast<int>(missing);
}

std::string gap_row_label(std::string_view earlier, std::string_view later, int k) {
    const long first = *year_number(earlier) + 1;
    if (missing_count(earlier, later) > longest_gap_drawn_by_year) {
        return std::to_string(first) + "-" + std::to_string(*year_number(later) - 1);
    }
    return std::to_string(first + k);
}

}  // namespace soil_climate
