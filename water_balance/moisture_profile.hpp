#pragma once

#include <array>

namespace soil_climate {

// The soil's water as 64 equal slants laid out 8 × 8, mm. Element 0 is slant 1;
// slant k stands in row (k - 1) / 8 + 1 and column (k - 1) % 8 + 1. Every slant holds
// between 0.0 and the slant capacity; an empty slant holds exactly 0.0.
inline constexpr int slant_count = 64;
inline constexpr int profile_rows = 8;
template <typename Number>
using slants_of = std::array<Number, slant_count>;  // one cell's (double) or a pack's
using slant_array = slants_of<double>;

// The slants whose water decides the moisture condition of a day: slants 9, 17 and 25,
// column 1 of rows 2, 3 and 4 (the "MCS" of the report). Zero-based indices.
inline constexpr std::array<int, 3> moisture_control_section{8, 16, 24};

// Total capacity below which the shallow row order replaces the diagonal order, mm.
inline constexpr double row_order_capacity_limit_mm = 100.0;

// Depletion walks the slants in one of two fixed orders (slant numbers 1 to 64) and
// charges the slant at position p with the coefficient of position p.
using slant_order = std::array<int, slant_count>;

// The 15 diagonals parallel to the line from slant 1 to slant 64, from corner slant 8
// to corner slant 57, each walked downward from its end in the upper row.
inline constexpr slant_order diagonal_order{
    8,  7,  16, 6,  15, 24, 5,  14, 23, 32, 4,  13, 22, 31, 40, 3,  12, 21, 30, 39, 48, 2,
    11, 20, 29, 38, 47, 56, 1,  10, 19, 28, 37, 46, 55, 64, 9,  18, 27, 36, 45, 54, 63, 17,
    26, 35, 44, 53, 62, 25, 34, 43, 52, 61, 33, 42, 51, 60, 41, 50, 59, 49, 58, 57,
};

// Row by row from the top, each row from column 8 to column 1.
inline constexpr slant_order row_order{
    8,  7,  6,  5,  4,  3,  2,  1,  16, 15, 14, 13, 12, 11, 10, 9,  24, 23, 22, 21, 20, 19,
    18, 17, 32, 31, 30, 29, 28, 27, 26, 25, 40, 39, 38, 37, 36, 35, 34, 33, 48, 47, 46, 45,
    44, 43, 42, 41, 56, 55, 54, 53, 52, 51, 50, 49, 64, 63, 62, 61, 60, 59, 58, 57,
};

// The cost of emptying a slant, per mm of its water, by position in the depletion order.
inline constexpr std::array<double, slant_count> depletion_coefficients{
    1.00, 1.00, 1.00, 1.00, 1.02, 1.03, 1.05, 1.07, 1.09, 1.11, 1.13, 1.15, 1.17, 1.19, 1.21, 1.23,
    1.26, 1.28, 1.31, 1.34, 1.37, 1.40, 1.43, 1.46, 1.49, 1.53, 1.57, 1.61, 1.65, 1.69, 1.74, 1.78,
    1.84, 1.89, 1.95, 2.01, 2.07, 2.14, 2.22, 2.30, 2.38, 2.47, 2.57, 2.68, 2.80, 2.93, 3.07, 3.22,
    3.39, 3.58, 3.80, 4.03, 4.31, 4.62, 4.98, 5.00, 5.00, 5.00, 5.00, 5.00, 5.00, 5.00, 5.00, 5.00,
};

// A profile whose total capacity is strictly below 100 mm is depleted row by row.
inline bool uses_row_order(double slant_capacity) {
    return slant_capacity * 64.0 < row_order_capacity_limit_mm;
}

inline const slant_order& depletion_order(double slant_capacity) {
    return uses_row_order(slant_capacity) ? row_order : diagonal_order;
}

// The same orders as zero-based indices into the profile, as the passes walk them.
using slant_indices = std::array<int, slant_count>;
constexpr slant_indices zero_based(const slant_order& order) {
    slant_indices indices{};
    for (int position = 0; position < slant_count; ++position) {
        indices[position] = order[position] - 1;
    }
    return indices;
}
inline constexpr slant_indices diagonal_slants = zero_based(diagonal_order);
inline constexpr slant_indices row_slants = zero_based(row_order);

inline const slant_indices& depletion_slants(double slant_capacity) {
    return uses_row_order(slant_capacity) ? row_slants : diagonal_slants;
}

}  // namespace soil_climate
