#include "report/station_index.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "report/csv.hpp"
#include "report/figures.hpp"
#include "report/station_page.hpp"
#include "report/text_format.hpp"

namespace soil_climate {
namespace {

// The columns of one regime table: "moisture_typic_xeric_percent" and the like.
void append_percent_columns(std::string& text, std::string_view kind, std::span<const std::string_view> names,
                            std::string_view ending = "_percent") {
    for (const std::string_view name : names) {
        text += ',';
        text += kind;
        text += '_';
        for (const char c : name) {
            text += c == ' ' ? '_' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        text += ending;
    }
}

void append_percentages(std::string& text, std::span<const int> tally, int years) {
    for (const int count : tally) {
        text += ',';
        append_fixed(text, years > 0 ? count * 100.0 / years : 0.0, 0, 2);
    }
}

// A table's cells left empty, one for each name of the regime tables.
void append_empty(std::string& text, std::size_t count) {
    text.append(count, ',');
}

}  // namespace

void station_tally::add_year(soil_moisture_regime moisture, moisture_subdivision subdivision,
                             soil_temperature_regime temperature) {
    if (moisture_runs.empty() || moisture_runs.back().regime != moisture) {
        moisture_runs.push_back({years, moisture});
    }
    add(moisture, subdivision, temperature);
}

std::optional<compared_periods> parse_periods(std::string_view text) {
    compared_periods periods;
    std::string_view rest = text;
    for (std::size_t k = 0; k < periods.size(); ++k) {
        const std::size_t comma = k + 1 < periods.size() ? rest.find(',') : rest.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view part = rest.substr(0, comma);
        rest = rest.substr(std::min(comma + 1, rest.size()));
        const std::size_t colon = part.find(':');
        int* ends[2] = {&periods[k].first, &periods[k].last};
        const std::string_view pieces[2] = {part.substr(0, colon),
                                            colon == std::string_view::npos ? "" : part.substr(colon + 1)};
        for (int e = 0; e < 2; ++e) {
            const auto [end, fault] = std::from_chars(pieces[e].data(), pieces[e].data() + pieces[e].size(), *ends[e]);
            if (pieces[e].empty() || fault != std::errc() || end != pieces[e].data() + pieces[e].size()) {
                return std::nullopt;
            }
        }
        if (periods[k].first > periods[k].last) {
            return std::nullopt;
        }
    }
    return periods;
}

void period_tally::add_year(soil_moisture_regime moisture, double mean_soil_temperature_c) {
    ++moisture_regimes[index_of(moisture)];
    soil_temperature_sum_c += mean_soil_temperature_c;
    ++years;
}

void append_station_periods_header(std::string& text) {
    text += "station,first_period,first_years,second_period,second_years,first_moisture_regime,"
            "second_moisture_regime";
    append_percent_columns(text, "moisture", moisture_regime_names, "_change_pp");
    text += ",mean_soil_temperature_change_k,status\n";
}

namespace {

void append_period(std::string& text, const year_period& period) {
    text += ',';
    append_integer(text, period.first, 0);
    text += '-';
    append_integer(text, period.last, 0);
}

bool both_held(const station_entry& station) {
    return !station.failed() && station.periods[0].years > 0 && station.periods[1].years > 0;
}

double mean_soil_temperature_change(const station_entry& station) {
    const auto mean = [](const period_tally& tally) { return tally.soil_temperature_sum_c / tally.years; };
    return mean(station.periods[1]) - mean(station.periods[0]);
}

}  // namespace

void append_station_periods_row(std::string& text, const station_entry& station, const compared_periods& periods) {
    append_csv_quoted(text, station.folder);
    for (std::size_t k = 0; k < periods.size(); ++k) {
        append_period(text, periods[k]);
        text += ',';
        append_integer(text, station.failed() ? 0 : station.periods[k].years, 0);
    }
    if (both_held(station)) {
        for (const period_tally& tally : station.periods) {
            text += ',';
            text += moisture_regime_names[most_frequent(tally.moisture_regimes)];
        }
        for (std::size_t i = 0; i < moisture_regime_names.size(); ++i) {
            const auto share = [i](const period_tally& tally) { return tally.moisture_regimes[i] * 100.0 / tally.years; };
            text += ',';
            append_fixed(text, share(station.periods[1]) - share(station.periods[0]), 0, 2);
        }
        text += ',';
        append_fixed(text, mean_soil_temperature_change(station), 0, 2);
    } else {
        append_empty(text, 2 + moisture_regime_names.size() + 1);
    }
    text += ',';
    append_csv_field(text, station.status);
    text += '\n';
}

std::string period_change_words(const station_entry& station) {
    if (!both_held(station)) {
        return {};
    }
    const std::string_view before = moisture_regime_names[most_frequent(station.periods[0].moisture_regimes)];
    const std::string_view after = moisture_regime_names[most_frequent(station.periods[1].moisture_regimes)];
    std::string words(before);
    words += before == after ? " unchanged, " : " to " + std::string(after) + ", ";
    const double change = mean_soil_temperature_change(station);
    words += change >= 0.0 ? "+" : "";
    append_fixed(words, change, 0, 2);
    words += " K";
    return words;
}


std::size_t gathered_temperature_regimes(std::span<const station_entry> stations) {
    for (const station_entry& station : stations) {
        const auto& tally = station.tally.temperature_regimes;
        if (std::any_of(tally.begin() + index_of_first_cold_regime, tally.end(), [](int years) { return years > 0; })) {
            return listed_temperature_regimes(true);
        }
    }
    return listed_temperature_regimes(false);
}

void append_station_summary_header(std::string& text, std::size_t temperature_regimes) {
    text += "station,years";
    append_percent_columns(text, "moisture", moisture_regime_names);
    append_percent_columns(text, "subdivision", subdivision_names);
    append_percent_columns(text, "temperature", std::span(temperature_regime_names).first(temperature_regimes));
    text += ",latitude,longitude,elevation,status,message,warnings\n";
}

namespace {

void append_optional(std::string& text, const std::optional<double>& value) {
    text += ',';
    if (value) {
        append_csv_number(text, *value);
    }
}

std::string joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string all;
    for (const std::string& part : parts) {
        all += (all.empty() ? "" : std::string(between)) + part;
    }
    return all;
}

}  // namespace

void append_station_summary_row(std::string& text, const station_entry& station, std::size_t temperature_regimes) {
    append_csv_quoted(text, station.folder);  // a station's folder is always quoted
    text += ',';
    if (station.failed()) {
        append_empty(text, moisture_regime_names.size() + subdivision_names.size() + temperature_regimes);
    } else {
        const station_tally& tally = station.tally;
        append_integer(text, tally.years, 0);
        append_percentages(text, tally.moisture_regimes, tally.years);
        append_percentages(text, tally.subdivisions, tally.years);
        append_percentages(text, std::span(tally.temperature_regimes).first(temperature_regimes), tally.years);
    }
    append_optional(text, station.place.latitude);
    append_optional(text, station.place.longitude);
    append_optional(text, station.place.elevation);
    text += ',';
    append_csv_field(text, station.status);
    text += ',';
    append_csv_field(text, station.message);
    text += ',';
    append_csv_field(text, joined(station.warnings, "; "));
    text += '\n';
}

void append_station_table_place(std::string& text, const station_place& place) {
    append_optional(text, place.longitude);
    append_optional(text, place.elevation);
}

namespace page {
namespace {

using figures::append_escaped;

void append_swatch(std::string& text, std::string_view colour) {
    text += "<span class=\"swatch\" style=\"background:";
    text += colour;
    text += "\"></span>";
}

void append_number_cell(std::string& text, const std::optional<double>& value) {
    text += "<td class=\"number\">";
    if (value) {
        append_fixed(text, *value, 0, 2);
    }
    text += "</td>";
}

// The strip of a station's moisture regime year by year: one rectangle for each run.
void append_strip(std::string& text, const station_tally& tally) {
    text += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" height=\"14\" viewBox=\"0 0 ";
    append_integer(text, std::max(tally.years, 1), 0);
    text += " 1\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"moisture regime by year\">";
    for (std::size_t i = 0; i < tally.moisture_runs.size(); ++i) {
        const int first = tally.moisture_runs[i].first_year;
        const int end = i + 1 < tally.moisture_runs.size() ? tally.moisture_runs[i + 1].first_year : tally.years;
        text += "<rect x=\"";
        append_integer(text, first, 0);
        text += "\" width=\"";
        append_integer(text, end - first, 0);
        text += "\" height=\"1\" fill=\"";
        text += moisture_regime_colour(tally.moisture_runs[i].regime);
        text += "\"/>";
    }
    text += "</svg>";
}

// The map: a longitude/latitude frame around the stations that have coordinates, with
// whole-degree ticks, and a point for each, coloured by its most frequent moisture regime
// (hollow for a failed station).
void append_map(std::string& text, std::span<const station_entry> stations) {
    double west = 180.0;
    double east = -180.0;
    double south = 90.0;
    double north = -90.0;
    int placed = 0;
    for (const station_entry& station : stations) {
        if (station.place.latitude && station.place.longitude) {
            west = std::min(west, *station.place.longitude);
            east = std::max(east, *station.place.longitude);
            south = std::min(south, *station.place.latitude);
            north = std::max(north, *station.place.latitude);
            ++placed;
        }
    }
    const int unplaced = static_cast<int>(stations.size()) - placed;
    const auto append_unplaced = [&] {
        if (unplaced == 0) {
            return;
        }
        text += "<p class=\"unplaced\">";
        append_integer(text, unplaced, 0);
        text += unplaced == 1 ? " station is" : " stations are";
        text += " not on the map: no latitude and longitude are known of ";
        text += unplaced == 1 ? "it" : "them";
        text += " (a station.csv in the station's folder, as station_import writes it or by hand with "
                "latitude and longitude columns, places a station).</p>\n";
    };
    if (placed == 0) {
        append_unplaced();
        return;
    }
    // A frame of whole 5-degree steps around the stations, at least 10 degrees each way.
    west = std::floor((west - 1.0) / 5.0) * 5.0;
    east = std::max(std::ceil((east + 1.0) / 5.0) * 5.0, west + 10.0);
    south = std::floor((south - 1.0) / 5.0) * 5.0;
    north = std::max(std::ceil((north + 1.0) / 5.0) * 5.0, south + 10.0);
    const double scale = std::min(640.0 / (east - west), 400.0 / (north - south));
    const int margin = 40;
    const int width = static_cast<int>(std::lround((east - west) * scale)) + 2 * margin;
    const int height = static_cast<int>(std::lround((north - south) * scale)) + 2 * margin;
    const auto x = [&](double longitude) { return margin + (longitude - west) * scale; };
    const auto y = [&](double latitude) { return margin + (north - latitude) * scale; };
    text += "<h2>Where the stations are</h2>\n<svg class=\"map\" xmlns=\"http://www.w3.org/2000/svg\" width=\"";
    append_integer(text, width, 0);
    text += "\" height=\"";
    append_integer(text, height, 0);
    text += "\" viewBox=\"0 0 ";
    append_integer(text, width, 0);
    text += ' ';
    append_integer(text, height, 0);
    text += "\" role=\"img\" aria-label=\"the stations on a longitude and latitude frame\">\n";
    text += "<rect x=\"";
    append_integer(text, margin, 0);
    text += "\" y=\"";
    append_integer(text, margin, 0);
    text += "\" width=\"";
    append_integer(text, width - 2 * margin, 0);
    text += "\" height=\"";
    append_integer(text, height - 2 * margin, 0);
    text += "\" fill=\"#f7f7f7\" stroke=\"#888\"/>\n";
    const double step = std::max(5.0, std::ceil((east - west) / 8.0 / 5.0) * 5.0);
    // The graticule: a faint line at every tick, so that a point reads off both axes.
    for (double longitude = west + step; longitude < east - 1e-9; longitude += step) {
        text += "<line x1=\"";
        append_fixed(text, x(longitude), 0, 1);
        text += "\" x2=\"";
        append_fixed(text, x(longitude), 0, 1);
        text += "\" y1=\"";
        append_integer(text, margin, 0);
        text += "\" y2=\"";
        append_integer(text, height - margin, 0);
        text += "\" stroke=\"#ddd\"/>";
    }
    for (double latitude = south + step; latitude < north - 1e-9; latitude += step) {
        text += "<line x1=\"";
        append_integer(text, margin, 0);
        text += "\" x2=\"";
        append_integer(text, width - margin, 0);
        text += "\" y1=\"";
        append_fixed(text, y(latitude), 0, 1);
        text += "\" y2=\"";
        append_fixed(text, y(latitude), 0, 1);
        text += "\" stroke=\"#ddd\"/>";
    }
    text += "\n";
    for (double longitude = west; longitude <= east + 1e-9; longitude += step) {
        text += "<text x=\"";
        append_fixed(text, x(longitude), 0, 1);
        text += "\" y=\"";
        append_integer(text, height - margin + 14, 0);
        text += "\" font-size=\"10\" text-anchor=\"middle\">";
        append_fixed(text, longitude, 0, 0);
        text += "&#176;</text>";
    }
    for (double latitude = south; latitude <= north + 1e-9; latitude += step) {
        text += "<text x=\"";
        append_integer(text, margin - 4, 0);
        text += "\" y=\"";
        append_fixed(text, y(latitude) + 3.0, 0, 1);
        text += "\" font-size=\"10\" text-anchor=\"end\">";
        append_fixed(text, latitude, 0, 0);
        text += "&#176;</text>";
    }
    text += "\n";
    for (const station_entry& station : stations) {
        if (!station.place.latitude || !station.place.longitude) {
            continue;
        }
        text += "<circle cx=\"";
        append_fixed(text, x(*station.place.longitude), 0, 1);
        text += "\" cy=\"";
        append_fixed(text, y(*station.place.latitude), 0, 1);
        text += "\" r=\"4\" ";
        if (station.failed() || station.tally.years == 0) {
            text += "fill=\"none\" stroke=\"#555\"";
        } else {
            text += "fill=\"";
            text += moisture_regime_colour(static_cast<soil_moisture_regime>(most_frequent(station.tally.moisture_regimes)));
            text += "\" stroke=\"#333\" stroke-width=\"0.5\"";
        }
        text += "><title>";
        append_escaped(text, station.given);
        text += "</title></circle>\n";
    }
    text += "<text x=\"";
    append_integer(text, width / 2, 0);
    text += "\" y=\"";
    append_integer(text, height - 6, 0);
    text += "\" font-size=\"11\" text-anchor=\"middle\">longitude (degrees east)</text><text x=\"12\" y=\"";
    append_integer(text, height / 2, 0);
    text += "\" font-size=\"11\" text-anchor=\"middle\" transform=\"rotate(-90 12 ";
    append_integer(text, height / 2, 0);
    text += ")\">latitude (degrees north)</text>\n</svg>\n";
    append_unplaced();
}

// Sorts the table of stations by a column on a click on its heading, numbers as numbers;
// a second click reverses. Without it the table stands in the order given.
constexpr std::string_view sort_script =
    "<script>\n"
    "document.querySelectorAll('table.sortable th').forEach(function (heading, column) {\n"
    "  heading.addEventListener('click', function () {\n"
    "    var body = heading.closest('table').tBodies[0];\n"
    "    var rows = Array.prototype.slice.call(body.rows);\n"
    "    var down = heading.getAttribute('aria-sort') === 'ascending';\n"
    "    var key = function (row) { var t = row.cells[column].textContent.trim(); var n = parseFloat(t);\n"
    "      return isNaN(n) ? t.toLowerCase() : n; };\n"
    "    rows.sort(function (a, b) { var x = key(a), y = key(b);\n"
    "      if (typeof x !== typeof y) { x = String(x); y = String(y); }\n"
    "      return (x < y ? -1 : x > y ? 1 : 0) * (down ? -1 : 1); });\n"
    "    rows.forEach(function (row) { body.appendChild(row); });\n"
    "    heading.parentNode.querySelectorAll('th').forEach(function (h) { h.removeAttribute('aria-sort'); });\n"
    "    heading.setAttribute('aria-sort', down ? 'descending' : 'ascending');\n"
    "  });\n"
    "});\n"
    "</script>\n";

}  // namespace

void append_index(std::string& text, std::span<const station_entry> stations,
                  const std::optional<compared_periods>& periods) {
    const auto failed = std::count_if(stations.begin(), stations.end(),
                                      [](const station_entry& station) { return station.failed(); });
    text += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Soil climates of the "
            "stations</title>\n<style>\nbody{font-family:sans-serif;margin:1.5em;color:#222}"
            "h2{font-size:1.15em;margin:1.4em 0 .4em}"
            "table{border-collapse:collapse;font-size:.9em}td,th{padding:.2em .7em;text-align:left}"
            "th{cursor:pointer}tr:nth-child(even){background:#f3f3f3}.number{text-align:right}"
            ".swatch{display:inline-block;width:1em;height:1em;vertical-align:middle;margin-right:.3em}"
            ".legend span{margin-right:1em}.failed td{color:#a00}th[aria-sort=ascending]::after{content:' \\25B2'}"
            "th[aria-sort=descending]::after{content:' \\25BC'}\n</style>\n</head>\n"
            "<body>\n<h1>Soil climates of the stations</h1>\n<p>";
    append_integer(text, static_cast<int>(stations.size()), 0);
    text += stations.size() == 1 ? " station, " : " stations, ";
    append_integer(text, static_cast<int>(failed), 0);
    text += " failed.</p>\n<p class=\"legend\">Most frequent soil moisture regime: ";
    for (std::size_t i = 0; i < moisture_regime_names.size(); ++i) {
        text += "<span>";
        append_swatch(text, moisture_regime_colour(static_cast<soil_moisture_regime>(i)));
        text += moisture_regime_names[i];
        text += "</span>";
    }
    text += "</p>\n";
    append_map(text, stations);
    if (failed > 0) {
        text += "<h2>Failed stations</h2>\n<table class=\"failed\">\n<tr><th>station</th><th>how it ended</th>"
                "<th>what it printed last</th></tr>\n";
        for (const station_entry& station : stations) {
            if (station.failed()) {
                text += "<tr><td>";
                append_escaped(text, station.given);
                text += "</td><td>";
                append_escaped(text, station.status);
                text += "</td><td>";
                append_escaped(text, station.message);
                text += "</td></tr>\n";
            }
        }
        text += "</table>\n";
    }
    const auto warned = std::count_if(stations.begin(), stations.end(),
                                      [](const station_entry& station) { return !station.warnings.empty(); });
    if (warned > 0) {
        text += "<h2>Stations with warnings</h2>\n<table class=\"warned\">\n<tr><th>station</th><th>warning</th></tr>\n";
        for (const station_entry& station : stations) {
            for (const std::string& warning : station.warnings) {
                text += "<tr><td>";
                append_escaped(text, station.given);
                text += "</td><td>";
                append_escaped(text, warning);
                text += "</td></tr>\n";
            }
        }
        text += "</table>\n";
    }
    text += "<h2>Stations</h2>\n<table class=\"sortable\">\n<thead><tr><th>station</th><th>name</th>"
            "<th class=\"number\">latitude</th><th class=\"number\">years</th><th>most frequent moisture regime</th>"
            "<th>most frequent temperature regime</th><th>moisture regime by year</th>";
    if (periods) {
        text += "<th>";
        for (std::size_t k = 0; k < periods->size(); ++k) {
            text += k == 0 ? "moisture regime " : " to ";
            append_integer(text, (*periods)[k].first, 0);
            text += "&ndash;";
            append_integer(text, (*periods)[k].last, 0);
        }
        text += ", change of mean soil temperature</th>";
    }
    text += "</tr></thead>\n<tbody>\n";
    const std::string change_cell_empty = periods ? "<td></td>" : "";
    for (const station_entry& station : stations) {
        const station_tally& tally = station.tally;
        text += station.failed() ? "<tr class=\"failed\"><td>" : "<tr><td>";
        if (station.failed() || tally.years == 0) {
            append_escaped(text, station.given);
        } else {
            text += "<a href=\"";
            text += station.page_link;
            text += "\">";
            append_escaped(text, station.given);
            text += "</a>";
        }
        if (!station.warnings.empty()) {
            text += " <span class=\"warning\" title=\"";
            append_escaped(text, joined(station.warnings, "\n"));
            text += "\" style=\"color:#b60\">&#9888; ";
            append_integer(text, static_cast<int>(station.warnings.size()), 0);
            text += station.warnings.size() == 1 ? " warning</span>" : " warnings</span>";
        }
        text += "</td><td>";
        append_escaped(text, tally.station_name);
        text += "</td>";
        append_number_cell(text, station.place.latitude);
        text += "<td class=\"number\">";
        if (!station.failed()) {
            append_integer(text, tally.years, 0);
        }
        text += "</td>";
        if (station.failed()) {
            text += periods ? "<td colspan=\"4\">" : "<td colspan=\"3\">";
            append_escaped(text, station.status);
            text += ": ";
            append_escaped(text, station.message);
            text += "</td></tr>\n";
            continue;
        }
        if (tally.years == 0) {
            text += "<td></td><td></td><td></td>" + change_cell_empty + "</tr>\n";
            continue;
        }
        const auto moisture = static_cast<soil_moisture_regime>(most_frequent(tally.moisture_regimes));
        text += "<td>";
        append_swatch(text, moisture_regime_colour(moisture));
        text += name_of(moisture);
        text += "</td><td>";
        text += temperature_regime_names[most_frequent(tally.temperature_regimes)];
        text += "</td><td>";
        append_strip(text, tally);
        text += "</td>";
        if (periods) {
            text += "<td>";
            text += period_change_words(station);
            text += "</td>";
        }
        text += "</tr>\n";
    }
    text += "</tbody>\n</table>\n";
    text += sort_script;
    text += "</body>\n</html>\n";
}

std::string relative_link(std::string_view from, std::string_view to) {
    const auto parts = [](std::string_view path) {
        std::vector<std::string_view> pieces;
        if (path.empty()) {
            return pieces;
        }
        for (std::size_t start = 0;;) {
            const std::size_t slash = path.find('/', start);
            pieces.push_back(path.substr(start, slash - start));
            if (slash == std::string_view::npos) {
                return pieces;
            }
            start = slash + 1;
        }
    };
    const std::vector<std::string_view> f = parts(from);
    const std::vector<std::string_view> t = parts(to);
    std::size_t common = 0;
    while (common < f.size() && common < t.size() && f[common] == t[common]) {
        ++common;
    }
    std::string path;
    for (std::size_t i = common; i < f.size(); ++i) {
        if (!f[i].empty()) {
            path += "../";
        }
    }
    for (std::size_t i = common; i < t.size(); ++i) {
        path += t[i];
        if (i + 1 < t.size()) {
            path += '/';
        }
    }
    std::string link;
    for (const char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '~' || c == '/' || c == '-';
        if (plain) {
            link += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            link += escape;
        }
    }
    return link;
}

}  // namespace page
}  // namespace soil_climate
