#include "outputs/station_figure_files.hpp"

#include "outputs/station_page_file.hpp"

namespace soil_climate {

station_figure_files::station_figure_files(const run_files& files, const std::string& file_prefix,
                                           const station_parameters& station, const checked_years& checked,
                                           std::optional<std::pair<int, int>> fixed_scale)
    : moisture_(files.moisture_figure, file_prefix, "Output file of moisture_calendar.svg opening failed.",
                "of moisture_calendar.svg"),
      temperature_(files.temperature_figure, file_prefix, "Output file of temperature_calendar.svg opening failed.",
                   "of temperature_calendar.svg"),
      frequencies_(files.frequency_figure, file_prefix, "Output file of regime_frequencies.svg opening failed.",
                   "of regime_frequencies.svg"),
      station_name_(station.station_name),
      layout_(figures::layout_for(checked.calendar_rows)) {
    scale_.fixed = fixed_scale;
    figures::open_moisture_calendar(text_, figures::target::file, layout_, station_name_);
    moisture_.write(text_);
    text_.clear();
    figures::open_temperature_calendar(text_, figures::target::file, layout_, station_name_);
    temperature_.write(text_);
}

void station_figure_files::add_year(const station_year& row) {
    const figures::year_row year = figure_row(row);
    const int at = rows_.next(row.year_label, [&](int gap, const std::string& label) {
        text_.clear();
        figures::append_gap_row(text_, layout_, gap, label);
        moisture_.write(text_);
        temperature_.write(text_);
    });
    text_.clear();
    figures::append_moisture_row(text_, layout_, at, year, row.year.moisture_calendar);
    moisture_.write(text_);
    text_.clear();
    figures::append_temperature_row(text_, layout_, at, year, row.year.temperature_calendar, scale_);
    temperature_.write(text_);
}

void station_figure_files::finish(const run_tallies& tallies) {
    text_.clear();
    figures::close_moisture_calendar(text_, layout_);
    moisture_.write(text_);
    text_.clear();
    figures::close_temperature_calendar(text_, layout_, scale_);
    temperature_.write(text_);
    text_.clear();
    figures::append_frequency_figure(text_, figures::target::file, station_name_, tallies.moisture_regime_tally,
                                     tallies.subdivision_tally, tallies.temperature_regime_tally,
                                     tallies.year_count);
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
