#pragma once

// The model's arithmetic written once for two number types: `double`, one cell (the
// station model), and a pack of doubles from std::experimental::simd, one cell a lane,
// several cells advanced in lockstep. A comparison gives a `bool` or a mask of lanes; a
// branch on a value becomes a selection under that mask, and a loop that ends when a
// condition holds ends when it holds in every lane. Each lane sees the same IEEE
// operations, in the same order, as the station model does, so every lane's result is
// the station model's, bit for bit.

#include <cmath>
#include <experimental/simd>

namespace soil_climate {

namespace stdx = std::experimental;

template <typename Number>
struct number_lanes;

// One cell: a plain double, its masks plain bools, its counts ints.
template <>
struct number_lanes<double> {
    using mask = bool;
    using count = int;
    static constexpr int width = 1;
};

// A pack of cells; its counts are whole numbers in doubles, exact far beyond any count of
// days, so that they take the same masks.
template <typename Abi>
struct number_lanes<stdx::simd<double, Abi>> {
    using mask = stdx::simd_mask<double, Abi>;
    using count = stdx::simd<double, Abi>;
    static constexpr int width = static_cast<int>(stdx::simd_size_v<double, Abi>);
};

// The mask of a comparison of `Number`s, and the type that counts days with them.
template <typename Number>
using lane_mask = typename number_lanes<Number>::mask;
template <typename Number>
using lane_count = typename number_lanes<Number>::count;

// `when_true` where `mask` holds, `when_false` elsewhere.
inline double choose(bool mask, double when_true, double when_false) { return mask ? when_true : when_false; }
inline int choose(bool mask, int when_true, int when_false) { return mask ? when_true : when_false; }
template <typename Abi>
stdx::simd<double, Abi> choose(const stdx::simd_mask<double, Abi>& mask, const stdx::simd<double, Abi>& when_true,
                               stdx::simd<double, Abi> when_false) {
    stdx::where(mask, when_false) = when_true;
    return when_false;
}

// The magnitude and the integral part (toward zero), lane by lane; both exact.
inline double magnitude(double x) { return std::fabs(x); }
template <typename Abi>
stdx::simd<double, Abi> magnitude(const stdx::simd<double, Abi>& x) {
    return stdx::fabs(x);
}
inline double whole_part(double x) { return std::trunc(x); }
template <typename Abi>
stdx::simd<double, Abi> whole_part(const stdx::simd<double, Abi>& x) {
    // Lane by lane: the pack's own trunc trips a compiler warning in AVX-512's header.
    return stdx::simd<double, Abi>([&](auto lane) { return std::trunc(static_cast<double>(x[lane])); });
}

// The larger of two numbers, lane by lane; `a` where they are equal, as std::max gives.
inline int larger(int a, int b) { return a < b ? b : a; }
template <typename Abi>
stdx::simd<double, Abi> larger(const stdx::simd<double, Abi>& a, const stdx::simd<double, Abi>& b) {
    return choose(a < b, b, a);
}

// Whether a mask holds in some lane; a bool is its own answer.
inline bool any_lane(bool mask) { return mask; }
template <typename Abi>
bool any_lane(const stdx::simd_mask<double, Abi>& mask) {
    return stdx::any_of(mask);
}

}  // namespace soil_climate
