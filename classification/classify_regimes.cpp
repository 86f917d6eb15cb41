#include "classification/classify_regimes.hpp"

#include <utility>

namespace soil_climate {
namespace {

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

// The day counts and runs of the year, with the summer and
// winter windows of the hemisphere: summer follows the June solstice in the north and the
// December solstice in the south. With a hemisphere other than these the solstice runs
// are 0.
void take_counts(const day_tallies<double>& tallies, earth_hemisphere hemisphere, regime_counts& counts,
                 year_quantities& year) {
    counts.year_dry_days = tallies.year_dry_days;
    counts.year_moist_dry_days = tallies.year_moist_dry_days;
    counts.year_moist_days = tallies.year_moist_days;
    counts.dry_days = tallies.dry_days;
    counts.moist_dry_days = tallies.moist_dry_days;
    counts.moist_days = tallies.moist_days;
    counts.bio8_days = tallies.bio8_days;
    counts.longest_moist_run = tallies.longest_moist_run;
    year.aridic_dry = counts.dry_days >= tallies.warm_days / 2;
    year.all_days_dry = counts.year_dry_days == days_per_year;
    year.longest_dry_run = tallies.longest_dry_run;
    year.summer_moist_run = tallies.july_october_not_dry_run;
    if (hemisphere == earth_hemisphere::north) {
        counts.summer_dry_run = tallies.july_october_dry_run;
        counts.winter_moist_run = tallies.january_april_moist_run;
    } else if (hemisphere == earth_hemisphere::south) {
        counts.summer_dry_run = tallies.january_april_dry_run;
        counts.winter_moist_run = tallies.july_october_moist_run;
    } else {
        counts.summer_dry_run = 0;
        counts.winter_moist_run = 0;
    }
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
    const day_tallies<double> tallies = count_days<double>([&](int d) {
        return std::pair{temperature_calendar[d], code_number(moisture_calendar[d])};
    });
    regime_classification result;
    year_quantities year;
    take_counts(tallies, hemisphere, result.counts, year);
    year.mean_soil_temperature = soil.mean_soil_temperature;
    year.isothermal = soil.seasonal_difference < isothermal_difference_celsius;
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
