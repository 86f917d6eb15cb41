#include "report/summary_format.hpp"

#include <cstddef>

#include "report/text_format.hpp"

namespace soil_climate {
namespace {

double percentage(int count, int year_count) {
    return count * 100.0 / year_count;
}

}  // namespace

void append_summary_header(std::string& text) {
    append_format(text, "YEAR  PREC  PET   AWB   MSD  Dry Days  M/D Days  Moist Days  BIO8  Soil Moisture Regime\n");
    append_format(text, "       mm    mm    mm    mm   Biological Windows at 5 degC\n\n");
}

void append_summary_line(std::string& text, const std::string& year_label, const year_summary& summary,
                         const regime_counts& counts, moisture_subdivision subdivision) {
    // "%s  %4.0lf  %3.0lf  %4.0lf  %4.0lf  %8d  %8d  %10d  %4d  %s\n", cell by cell.
    text += year_label;
    text += "  ";
    append_fixed(text, summary.annual_precipitation, 4, 0);
    text += "  ";
    append_fixed(text, summary.annual_pet, 3, 0);
    text += "  ";
    append_fixed(text, summary.annual_water_balance, 4, 0);
    text += "  ";
    append_fixed(text, summary.june_august_balance, 4, 0);
    text += "  ";
    append_integer(text, counts.dry_days, 8);
    text += "  ";
    append_integer(text, counts.moist_dry_days, 8);
    text += "  ";
    append_integer(text, counts.moist_days, 10);
    text += "  ";
    append_integer(text, counts.bio8_days, 4);
    text += "  ";
    text += name_of(subdivision);
    text += '\n';
}

void append_average_line(std::string& text, const summary_sums& sums, int year_count) {
    const double years = year_count;
    append_format(text, "\n AVG  %4.0lf  %3.0lf  %4.0lf  %4.0lf  %8.0lf  %8.0lf  %10.0lf  %4.0lf\n",
                  sums.annual_precipitation / years, sums.annual_pet / years, sums.annual_water_balance / years,
                  sums.june_august_balance / years, sums.dry_days / years, sums.moist_dry_days / years,
                  sums.moist_days / years, sums.bio8_days / years);
}

void append_frequency_table(std::string& text, std::span<const int> tally, std::span<const std::string_view> names,
                            int year_count) {
    append_format(text, "Years  Soil Moisture Regime  Frequency\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
        append_format(text, "%5d  %20s  %4.2lf\n", tally[i], names[i].data(), percentage(tally[i], year_count));
    }
    append_format(text, "\n%5d               %12s\n", year_count, "100");
}

void append_frequency_list(std::string& text, std::span<const int> tally, std::span<const std::string_view> names,
                           int year_count) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        append_format(text, "%4.2lf,%10s\n", percentage(tally[i], year_count), names[i].data());
    }
}

}  // namespace soil_climate
