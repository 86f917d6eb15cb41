#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace soil_climate {

// A 64-bit fingerprint of bytes (FNV-1a): any change of them changes it, almost surely.
// It tells changed inputs from unchanged ones; it is no defence against forgery.
class fingerprint {
public:
    void add(const void* data, std::size_t size) {
        const auto* byte = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            value_ = (value_ ^ byte[i]) * prime;
        }
    }
    void add(std::string_view text) {
        add_word(text.size());
        add(text.data(), text.size());
    }
    // A whole 64-bit word at once: as sure as byte by byte for telling changes, faster.
    void add_word(std::uint64_t word) { value_ = (value_ ^ word) * prime; }

    std::uint64_t value() const { return value_; }

private:
    static constexpr std::uint64_t prime = 1099511628211ULL;
    std::uint64_t value_ = 14695981039346656037ULL;
};

}  // namespace soil_climate
