#include "outputs/station_page_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "outputs/temporary_files.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

constexpr std::size_t scratch_buffer_size = 65536;

}  // namespace

scratch_file::scratch_file(const std::string& file_prefix, const char* failure_message)
    : failure_message_(failure_message) {
    std::string name;
    const int tracked = temporary_files::track_new_name(file_prefix, name);
    descriptor_ = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor_ >= 0) {
        unlink(name.c_str());
    }
    temporary_files::untrack(tracked);
    if (descriptor_ < 0) {
        throw run_failure(failure_message_);
    }
    buffer_.reserve(scratch_buffer_size);
}

scratch_file::~scratch_file() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

void scratch_file::flush() {
    if (!write_all(descriptor_, buffer_)) {
        throw run_failure(failure_message_);
    }
    buffer_.clear();
}

void scratch_file::write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= scratch_buffer_size) {
        flush();
    }
}

void scratch_file::copy_to(output_file& output) {
    flush();
    if (lseek(descriptor_, 0, SEEK_SET) != 0) {
        throw run_failure(failure_message_);
    }
    std::string chunk(scratch_buffer_size, '\0');
    while (true) {
        const ssize_t got = ::read(descriptor_, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw run_failure(failure_message_);
        }
        if (got == 0) {
            return;
        }
        output.write(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
}

namespace {

const char* const page_open_failure = "Output file of station.html opening failed.";
const char* const page_write_failure = "Output file of station.html writing failed.";

}  // namespace

figures::year_row figure_row(const station_year& row) {
    return {row.year_label, row.year.moisture_regime, row.year.subdivision, row.year.temperature_regime};
}

station_page_file::station_page_file(const std::string& name, const std::string& file_prefix,
                                     const station_parameters& station, const checked_years& checked,
                                     std::optional<std::pair<int, int>> fixed_scale, bool cold_regimes)
    : page_(name, file_prefix, page_open_failure, "of station.html"),
      temperature_rows_(file_prefix, page_write_failure),
      summary_rows_(file_prefix, page_write_failure),
      station_name_(station.station_name),
      calendars_(checked.calendar_rows, fixed_scale, listed_temperature_regimes(cold_regimes)) {
    page::append_head(text_, {station.station_name, station.latitude, station.hemisphere,
                              station.water_holding_capacity, station.soil_temp_offset, station.amplitude_factor,
                              station.phase_shift, checked.year_count, checked.first_label, checked.last_label,
                              RUN_STATION_VERSION});
    figures::open_moisture_calendar(text_, figures::target::page, calendars_.layout(), station_name_);
    page_.write(text_);
}

void station_page_file::add_year(const station_year& row) {
    calendars_.add_year(
        figure_row(row), row.year.moisture_calendar, row.year.temperature_calendar,
        [&](std::string_view text) { page_.write(text); }, [&](std::string_view text) { temperature_rows_.write(text); });
    text_.clear();
    page::append_summary_row(text_, row);
    summary_rows_.write(text_);
}

void station_page_file::finish(const run_tallies& tallies) {
    text_.clear();
    figures::close_moisture_calendar(text_, calendars_.layout());
    page::append_temperature_heading(text_);
    figures::open_temperature_calendar(text_, figures::target::page, calendars_.layout(), station_name_);
    page_.write(text_);
    temperature_rows_.copy_to(page_);
    text_.clear();
    figures::close_temperature_calendar(text_, calendars_.layout(), calendars_.scale());
    page::append_frequencies(text_, tallies.moisture_regimes, tallies.subdivisions,
                             std::span(tallies.temperature_regimes).first(calendars_.layout().temperature_regimes),
                             tallies.years);
    page_.write(text_);
    summary_rows_.copy_to(page_);
    text_.clear();
    page::append_tail(text_, tallies.sums, tallies.years);
    page_.write(text_);
    page_.finish();
}

}  // namespace soil_climate
