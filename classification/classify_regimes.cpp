#include "classification/classify_regimes.hpp"

#include <algorithm>
#include <cmath>


namespace soil_climate {
namespace {

// Strict thresholds of the day counts: a day at exactly 5.0 or 8.0 °C does not count.
constexpr double warm_celsius = 5.0;
constexpr double biological_celsius = 8.0;

// A year is isothermal when its summer and winter soil means differ by less than this, °C.
constexpr double isothermal_difference_celsius = 5.0;

// Mean soil temperature bounds of the regime rules and temperature bands, °C.
constexpr double frigid_below_celsius = 8.0;
constexpr double mesic_below_celsius = 15.0;
constexpr double thermic_below_celsius = 22.0;

// The cold regimes' bounds, °C: the mean soil temperature of a pergelic soil, and the
// summer mean below which a cryic soil stays.
constexpr double pergelic_below_celsius = 0.0;
constexpr double cryic_summer_below_celsius = 15.0;

// Runs of days, in days.
constexpr int solstice_run_days = 45;   // a summer-dry or winter-moist season
constexpr int long_dry_run_days = 90;   // dry in some or all parts for a long time
constexpr int aridic_bio8_limit = 90;   // biological window that rules out ARIDIC
constexpr int typic_udic_dry_run = 30;  // shortest dry run that makes a UDIC year dry
constexpr int dry_xeric_summer_run = 90;
constexpr int typic_tropustic_bio8 = 180;
constexpr int udic_tropustic_bio8 = 270;

// Inclusive ranges of day indices.
struct day_range {
    int first;
    int last;
};
constexpr day_range january_to_april{0, 119};   // the four months after the December solstice
constexpr day_range july_to_october{180, 299};  // the four months after the June solstice

// The longest run of consecutive qualifying days, fed one day at a time in day order: a
// day that does not qualify ends the current run; a run still open at the end counts in
// full. Runs never wrap around the end of the range.
struct run_tracker {
    int current = 0;
    int longest = 0;

    void add(bool qualifies) {
        if (qualifies) {
            ++current;
        } else {
            longest = std::max(longest, current);
            current = 0;
        }
    }
    int result() const { return std::max(longest, current); }
};

template <typename Qualifies>
int longest_run(day_range range, Qualifies&& qualifies) {
    run_tracker run;
    for (int d = range.first; d <= range.last; ++d) {
        run.add(qualifies(d));
    }
    return run.result();
}

// The quantities the rules decide on, derived from the two calendars.
struct year_quantities {
    double mean_soil_temperature = 0.0;
    bool isothermal = false;
    bool aridic_dry = false;   // dry on at least half of the warm days
    int longest_dry_run = 0;   // days dry in some or all parts
    int summer_moist_run = 0;  // days not dry, July to October
    bool all_days_dry = false;
    bool all_months_wet = false;  // precipitation above PET in every month
};

// One pass over both calendars: the day counts and the three runs of the whole year.
void count_days(const daily_temperatures& temperature, const daily_codes& moisture, regime_counts& counts,
                year_quantities& year) {
    counts = regime_counts{};
    int warm_days = 0;
    run_tracker biological_window;  // not dry and above 8 °C
    run_tracker not_dry;            // moist in some or all parts
    run_tracker dry_in_part;        // dry in some or all parts
    for (int d = 0; d < days_per_year; ++d) {
        const bool warm = temperature[d] > warm_celsius;
        const bool dry = moisture[d] == moisture_code::dry;
        warm_days += warm;
        biological_window.add(temperature[d] > biological_celsius && !dry);
        not_dry.add(!dry);
        dry_in_part.add(dry || moisture[d] == moisture_code::moist_dry);
        switch (moisture[d]) {
            case moisture_code::dry:
                ++counts.year_dry_days;
                counts.dry_days += warm;
                break;
            case moisture_code::moist_dry:
                ++counts.year_moist_dry_days;
                counts.moist_dry_days += warm;
                break;
            case moisture_code::moist:
                ++counts.year_moist_days;
                counts.moist_days += warm;
                break;
            case moisture_code::unset:
                break;
        }
    }
    year.aridic_dry = counts.dry_days >= warm_days / 2;
    year.all_days_dry = counts.year_dry_days == days_per_year;
    counts.bio8_days = biological_window.result();
    counts.longest_moist_run = not_dry.result();
    year.longest_dry_run = dry_in_part.result();
    year.summer_moist_run = longest_run(july_to_october, [&](int d) { return moisture[d] != moisture_code::dry; });
}

// Summer follows the June solstice in the north and the December solstice in the south.
void solstice_runs(const daily_codes& moisture, earth_hemisphere hemisphere, regime_counts& counts) {
    const bool north = hemisphere == earth_hemisphere::north;
    if (!north && hemisphere != earth_hemisphere::south) {
        counts.summer_dry_run = 0;
        counts.winter_moist_run = 0;
        return;
    }
    const day_range summer = north ? july_to_october : january_to_april;
    const day_range winter = north ? january_to_april : july_to_october;
    counts.summer_dry_run = longest_run(summer, [&](int d) { return moisture[d] == moisture_code::dry; });
    counts.winter_moist_run = longest_run(winter, [&](int d) { return moisture[d] == moisture_code::moist; });
}

bool all_months_wet(const monthly_series& precipitation, const monthly_series& pet) {
    for (int m = 0; m < months_per_year; ++m) {
        if (!(precipitation[m] - pet[m] > 0.0)) {
            return false;
        }
    }
    return true;
}

// The moisture regime and its tentative subdivision; the first rule that holds decides.
void moisture_regime_of(const regime_counts& counts, const year_quantities& year,
                        soil_moisture_regime& moisture_regime, moisture_subdivision& subdivision) {
    const bool summer_dry = counts.summer_dry_run >= solstice_run_days;
    const bool winter_moist = counts.winter_moist_run >= solstice_run_days;
    const bool long_dry = year.longest_dry_run >= long_dry_run_days;

    if (year.aridic_dry && counts.bio8_days < aridic_bio8_limit) {
        moisture_regime = soil_moisture_regime::aridic;
        if (year.all_days_dry) {
            subdivision = moisture_subdivision::extreme_aridic;
        } else if (counts.bio8_days > solstice_run_days) {
            subdivision = moisture_subdivision::weak_aridic;
        } else {
            subdivision = moisture_subdivision::typic_aridic;
        }
    } else if (year.mean_soil_temperature < thermic_below_celsius && !year.isothermal && summer_dry && winter_moist) {
        moisture_regime = soil_moisture_regime::xeric;
        subdivision = counts.summer_dry_run > dry_xeric_summer_run ? moisture_subdivision::dry_xeric
                                                                   : moisture_subdivision::typic_xeric;
    } else if (long_dry && year.mean_soil_temperature >= frigid_below_celsius) {
        moisture_regime = soil_moisture_regime::ustic;
        if (year.isothermal) {
            if (counts.bio8_days < typic_tropustic_bio8) {
                subdivision = moisture_subdivision::aridic_tropustic;
            } else if (counts.bio8_days < udic_tropustic_bio8) {
                subdivision = moisture_subdivision::typic_tropustic;
            } else {
                subdivision = moisture_subdivision::udic_tropustic;
            }
        } else if (counts.summer_dry_run > solstice_run_days && counts.winter_moist_run > solstice_run_days) {
            subdivision = moisture_subdivision::xeric_tempustic;
        } else if (counts.winter_moist_run > solstice_run_days && year.summer_moist_run > solstice_run_days) {
            subdivision = moisture_subdivision::wet_tempustic;
        } else {
            subdivision = moisture_subdivision::typic_tempustic;
        }
    } else if (long_dry) {
        moisture_regime = soil_moisture_regime::undefined;
        subdivision = moisture_subdivision::undefined;
    } else if (year.all_months_wet) {
        moisture_regime = soil_moisture_regime::perudic;
        subdivision = moisture_subdivision::perudic;
    } else {
        moisture_regime = soil_moisture_regime::udic;
        if (year.longest_dry_run < typic_udic_dry_run) {
            subdivision = moisture_subdivision::typic_udic;
        } else if (year.isothermal) {
            subdivision = moisture_subdivision::dry_tropudic;
        } else {
            subdivision = moisture_subdivision::dry_tempudic;
        }
    }
}

// The band of the mean soil temperature, with the Iso name for an isothermal year.
soil_temperature_regime temperature_regime_of(const year_quantities& year) {
    using enum soil_temperature_regime;
    const double m = year.mean_soil_temperature;
    if (m < frigid_below_celsius) {
        return year.isothermal ? isofrigid : frigid;
    }
    if (m < mesic_below_celsius) {
        return year.isothermal ? isomesic : mesic;
    }
    if (m < thermic_below_celsius) {
        return year.isothermal ? isothermic : thermic;
    }
    return year.isothermal ? isohyperthermic : hyperthermic;
}

// The cold regimes replace a frigid band's name; every other year keeps its own.
soil_temperature_regime cold_regime_of(soil_temperature_regime regime, double mean_soil_temperature,
                                       double summer_soil_temperature) {
    if (mean_soil_temperature < pergelic_below_celsius) {
        return soil_temperature_regime::pergelic;
    }
    if (mean_soil_temperature < frigid_below_celsius && summer_soil_temperature < cryic_summer_below_celsius) {
        return soil_temperature_regime::cryic;
    }
    return regime;
}

}  // namespace

regime_classification classify_regimes(const daily_temperatures& temperature_calendar,
                                       const soil_temperature_summary& soil, const daily_codes& moisture_calendar,
                                       const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                                       earth_hemisphere hemisphere, classification_rules rules) {
    regime_classification result;
    year_quantities year;
    count_days(temperature_calendar, moisture_calendar, result.counts, year);
    year.mean_soil_temperature = soil.mean_soil_temperature;
    year.isothermal = soil.seasonal_difference < isothermal_difference_celsius;
    solstice_runs(moisture_calendar, hemisphere, result.counts);
    year.all_months_wet = all_months_wet(monthly_precipitation, monthly_pet);

    moisture_regime_of(result.counts, year, result.moisture_regime, result.subdivision);
    result.temperature_regime = temperature_regime_of(year);
    if (rules.cold_regimes) {
        result.temperature_regime = cold_regime_of(result.temperature_regime, year.mean_soil_temperature,
                                                   summer_soil_temperature(soil, hemisphere));
    }
    return result;
}

}  // namespace soil_climate
