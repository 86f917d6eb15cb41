#include "outputs/station_figure_files.hpp"

#include "outputs/station_page_file.hpp"

namespace soil_climate {

station_figure_files::station_figure_files(const run_files& files, const std::string& file_prefix,
                                           const station_parameters& station, const checked_years& checked,
                                           std::optional<std::pair<int, int>> fixed_scale, bool cold_regimes)
    : moisture_(files.moisture_figure, file_prefix, "Output file of moisture_calendar.svg opening failed.",
                "of moisture_calendar.svg"),
      temperature_(files.temperature_figure, file_prefix, "Output file of temperature_calendar.svg opening failed.",
                   "of temperature_calendar.svg"),
      frequencies_(files.frequency_figure, file_prefix, "Output file of regime_frequencies.svg opening failed.",
                   "of regime_frequencies.svg"),
      station_name_(station.station_name),
      calendars_(checked.calendar_rows, fixed_scale, listed_temperature_regimes(cold_regimes)) {
    figures::open_moisture_calendar(text_, figures::target::file, calendars_.layout(), station_name_);
    moisture_.write(text_);
    text_.clear();
    figures::open_temperature_calendar(text_, figures::target::file, calendars_.layout(), station_name_);
    temperature_.write(text_);
}

void station_figure_files::add_year(const station_year& row) {
    calendars_.add_year(
        figure_row(row), row.year.moisture_calendar, row.year.temperature_calendar,
        [&](std::string_view text) { moisture_.write(text); }, [&](std::string_view text) { temperature_.write(text); });
}

void station_figure_files::finish(const run_tallies& tallies) {
    text_.clear();
    figures::close_moisture_calendar(text_, calendars_.layout());
    moisture_.write(text_);
    text_.clear();
    figures::close_temperature_calendar(text_, calendars_.layout(), calendars_.scale());
    temperature_.write(text_);
    text_.clear();
    figures::append_frequency_figure(
        text_, figures::target::file, station_name_, tallies.moisture_regimes, tallies.subdivisions,
        std::span(tallies.temperature_regimes).first(calendars_.layout().temperature_regimes), tallies.years);
    frequencies_.write(text_);
    moisture_.finish();
    temperature_.finish();
    frequencies_.finish();
}

void station_figure_files::list(std::vector<output_file*>& outputs) {
    outputs.push_back(&moisture_);
    outputs.push_back(&temperature_);
    outputs.push_back(&frequencies_);
}

}  // namespace soil_climate
