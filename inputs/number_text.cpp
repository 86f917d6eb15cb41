#include "inputs/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace soil_climate {
namespace {

constexpr double exact_powers_of_ten[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_hex_digit(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <typename Predicate>
std::size_t skip(std::string_view text, std::size_t at, Predicate&& predicate) {
    while (at < text.size() && predicate(text[at])) {
        ++at;
    }
    return at;
}

// Past an exponent marker: its sign and digits, taken even when no digit follows, as the
// formatted read takes them.
std::size_t skip_exponent(std::string_view text, std::size_t at, char lower, char upper) {
    if (at < text.size() && (text[at] == lower || text[at] == upper)) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        at = skip(text, at, is_digit);
    }
    return at;
}

// The value of what was taken: the longest prefix of it that is a number, as the C
// library converts it. Plain decimal text goes through from_chars, which rounds exactly as
// strtod does; hexadecimal text, and values beyond the range of a double (which
// from_chars does not convert), through strtod itself.
double value_of(std::string_view taken, bool hexadecimal) {
    if (!hexadecimal) {
        const bool negative = taken.front() == '-';
        const std::string_view unsigned_text = taken.substr(taken.front() == '+' || negative ? 1 : 0);
        double value = 0.0;
        const auto result =
            std::from_chars(unsigned_text.data(), unsigned_text.data() + unsigned_text.size(), value);
        if (result.ec == std::errc{}) {
            return negative ? -value : value;
        }
    }
    const std::string copy(taken);
    return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

leading_number read_leading_number(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    const bool hexadecimal =
        at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
    if (hexadecimal) {
        at += 2;
        const std::size_t start = at;
        at = skip(text, at, is_hex_digit);
        std::size_t digits = at - start;
        if (at < text.size() && text[at] == '.') {
            const std::size_t fraction = at + 1;
            at = skip(text, fraction, is_hex_digit);
            digits += at - fraction;
        }
        if (at == start) {
            return {};  // "0x" alone
        }
        if (digits > 0) {  // "0x." takes no exponent
            at = skip_exponent(text, at, 'p', 'P');
        }
    } else {
        // The digits are gathered as they are passed: short numbers without an exponent,
        // as monthly records hold them, need no further conversion.
        std::uint64_t digit_value = 0;
        int digits = 0;
        int fraction_digits = 0;
        for (; at < text.size() && is_digit(text[at]); ++at, ++digits) {
            digit_value = digit_value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        }
        if (at < text.size() && text[at] == '.') {
            for (++at; at < text.size() && is_digit(text[at]); ++at, ++digits, ++fraction_digits) {
                digit_value = digit_value * 10 + static_cast<std::uint64_t>(text[at] - '0');
            }
        }
        if (digits == 0) {
            return {};  // no digit: "NA", ",", ".", "-", and the words of infinity and NaN
        }
        const std::size_t before_exponent = at;
        at = skip_exponent(text, at, 'e', 'E');
        if (at == before_exponent && digits <= 15) {
            // Fewer than 2^53, the digits are an exact double, and so is 10^k for k up to
            // 22: their quotient, rounded once, is the correctly rounded value, as strtod
            // gives it.
            const double magnitude = static_cast<double>(digit_value) / exact_powers_of_ten[fraction_digits];
            return {at, text[0] == '-' ? -magnitude : magnitude};
        }
    }
    const double value = value_of(text.substr(0, at), hexadecimal);
    if (!std::isfinite(value)) {
        return {};  // beyond the range of a double
    }
    return {at, value};
}

bool parse_whole_number(std::string_view text, double& value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    const std::size_t first = skip(text, 0, blank);
    std::size_t last = text.size();
    while (last > first && blank(text[last - 1])) {
        --last;
    }
    const std::string_view word = text.substr(first, last - first);
    const leading_number number = read_leading_number(word);
    if (number.length == 0 || number.length != word.size()) {
        return false;
    }
    // The formatted read takes a dangling exponent ("1e", "150e-") as part of the number;
    // a word that is wholly a number does not end in one.
    const std::string whole(word);
    char* end = nullptr;
    std::strtod(whole.c_str(), &end);
    if (end != whole.c_str() + whole.size()) {
        return false;
    }
    value = number.value;
    return true;
}

}  // namespace soil_climate
