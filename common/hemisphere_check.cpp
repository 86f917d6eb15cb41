#include "common/hemisphere_check.hpp"

#include <algorithm>
#include <array>
#include <numeric>

namespace soil_climate {

std::optional<std::string> hemisphere_doubt(earth_hemisphere hemisphere, const monthly_series& mean_temperature) {
    std::array<int, months_per_year> months{};
    std::iota(months.begin(), months.end(), 0);
    std::stable_sort(months.begin(), months.end(),
                     [&](int a, int b) { return mean_temperature[a] > mean_temperature[b]; });
    std::array<int, 3> warmest{months[0], months[1], months[2]};
    std::sort(warmest.begin(), warmest.end());
    constexpr std::array<int, 3> june_to_august{5, 6, 7};
    constexpr std::array<int, 3> december_to_february{0, 1, 11};
    if (hemisphere == earth_hemisphere::south && warmest == june_to_august) {
        return "the warmest months of the mean year are June to August, but the station is southern (S); its "
               "hemisphere or the sign of its latitude may be wrong";
    }
    if (hemisphere == earth_hemisphere::north && warmest == december_to_february) {
        return "the warmest months of the mean year are December to February, but the station is northern (N); "
               "its hemisphere or the sign of its latitude may be wrong";
    }
    return std::nullopt;
}

std::optional<std::string> phase_shift_doubt(earth_hemisphere hemisphere, double phase_shift) {
    if (hemisphere == earth_hemisphere::south && phase_shift == 0.0) {
        return "a southern station (S) with phase_shift 0 has its warmest soil on 15 May; a phase_shift of about "
               "+90 days puts it in February (user guide: \"The soil temperature parameters\")";
    }
    return std::nullopt;
}

}  // namespace soil_climate
