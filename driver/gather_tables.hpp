#pragma once

// The tables of a run_stations run, gathered from every station's years.csv and
// station.csv: stations.csv, stations_summary.csv and, as asked, index.html and
// stations_periods.csv; each station's record written after its run.

#include <optional>
#include <string>

#include "driver/gather_plan.hpp"
#include "report/station_index.hpp"

namespace soil_climate::gather {

// gather_stations tables.
int tables(const std::string& output, const std::string& logs, asked_outputs asked, bool reports,
           const std::optional<compared_periods>& periods);

}  // namespace soil_climate::gather
