#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "common/model_year.hpp"
#include "common/regime_names.hpp"
#include "common/year_gaps.hpp"
#include "report/palette.hpp"

namespace soil_climate::figures {

// The station's figures: the moisture calendar, the soil temperature calendar and the
// regime frequencies, each one SVG drawing with its own title, axes, legend and units,
// coloured by presentation attributes only (no style sheet, no script), so that a drawing
// is the same on the station page and alone in a file. A calendar has one row a year (and
// a row for each missing year), one column a day of the 360-day year, and at the end of
// each row a cell in the colour of that year's regime. Drawn in pieces as the years come,
// so that memory does not grow with the number of years.

// Where a drawing goes: into the station page, sized in CSS pixels, or alone into a file,
// sized to the 174 mm text width of a two-column journal page.
enum class target { page, file };

// The calendars' rows: how many (years and gaps), their height in pixels and how often a
// year's row shows its label, chosen by the number of rows so that a long record stays
// readable and small.
struct calendar_layout {
    int row_count;
    int row_height;
    int label_every;
    std::size_t temperature_regimes = index_of_first_cold_regime;  // the names the legend lists
};
calendar_layout layout_for(int row_count, std::size_t temperature_regimes = index_of_first_cold_regime);

// The year a row stands for: its label and its three regimes.
struct year_row {
    std::string_view label;
    soil_moisture_regime moisture_regime;
    moisture_subdivision subdivision;
    soil_temperature_regime temperature_regime;
};

// The numbering of a calendar's rows as the years come, the rows of missing years
// included: `draw_gap(row, label)` is called for each gap row before a year's row.
class calendar_rows {
public:
    template <typename Draw_gap>
    int next(std::string_view label, Draw_gap&& draw_gap) {
        if (next_row_ > 0) {
            const int gaps = gap_rows(previous_, label);
            for (int k = 0; k < gaps; ++k) {
                draw_gap(next_row_++, gap_row_label(previous_, label, k));
            }
        }
        previous_.assign(label);
        return next_row_++;
    }

private:
    int next_row_ = 0;
    std::string previous_;
};

// The soil temperature scale: bins of 1 °C bounded by whole degrees (so a day's side of the
// 5 °C and 8 °C thresholds always shows). Without `fixed`, the scale runs over the bins the
// rows drew, which are known once every row is drawn; with it (--temperature-scale
// MIN:MAX), over MIN to MAX on every page, days beyond it in its end bins.
struct temperature_scale {
    int coldest_bin = 1000;  // °C at the bin's lower bound
    int warmest_bin = -1000;
    std::optional<std::pair<int, int>> fixed;
};

// The moisture calendar: its opening (title, month axis), then a row a year or gap, then
// its legend and close.
void open_moisture_calendar(std::string& text, target where, const calendar_layout& layout,
                            std::string_view station_name);
void append_moisture_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                         const daily_codes& moisture_calendar);
void close_moisture_calendar(std::string& text, const calendar_layout& layout);

// The soil temperature calendar, drawn the same way. Its rows name their bins' colours by
// reference; the colours follow at the close, once the scale is known. A row widens
// `scale` to its bins.
void open_temperature_calendar(std::string& text, target where, const calendar_layout& layout,
                               std::string_view station_name);
void append_temperature_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                            const daily_temperatures& temperature_calendar, temperature_scale& scale);
void close_temperature_calendar(std::string& text, const calendar_layout& layout, const temperature_scale& scale);

// A row for years missing from the record: empty, outlined and labelled.
void append_gap_row(std::string& text, const calendar_layout& layout, int row, std::string_view label);

// A station's two calendars drawn together as the years come, with the same rows and
// gaps: for each year, its rows' text is handed to `moisture(text)` and
// `temperature(text)`, wherever each calendar is being written.
class station_calendars {
public:
    station_calendars(int row_count, std::optional<std::pair<int, int>> fixed_scale,
                      std::size_t temperature_regimes = index_of_first_cold_regime)
        : layout_(layout_for(row_count, temperature_regimes)) {
        scale_.fixed = fixed_scale;
    }

    template <typename Moisture, typename Temperature>
    void add_year(const year_row& year, const daily_codes& moisture_calendar,
                  const daily_temperatures& temperature_calendar, Moisture&& moisture, Temperature&& temperature) {
        const int row = rows_.next(year.label, [&](int gap, const std::string& label) {
            text_.clear();
            append_gap_row(text_, layout_, gap, label);
            moisture(text_);
            temperature(text_);
        });
        text_.clear();
        append_moisture_row(text_, layout_, row, year, moisture_calendar);
        moisture(text_);
        text_.clear();
        append_temperature_row(text_, layout_, row, year, temperature_calendar, scale_);
        temperature(text_);
    }

    const calendar_layout& layout() const { return layout_; }
    const temperature_scale& scale() const { return scale_; }

private:
    calendar_layout layout_;
    temperature_scale scale_;
    calendar_rows rows_;
    std::string text_;
};

// The frequencies of the three regime tables as bars, years and percent of each name; a
// table lists as many of its names as its tally holds.
void append_frequency_figure(std::string& text, target where, std::string_view station_name,
                             std::span<const int> moisture_tally, std::span<const int> subdivision_tally,
                             std::span<const int> temperature_tally, int year_count);

// Text for HTML and SVG: &, <, > and " written as character references.
void append_escaped(std::string& text, std::string_view raw);

}  // namespace soil_climate::figures
