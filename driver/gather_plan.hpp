#pragma once

// The plan of a run_stations run: the stations listed from the folders given, and those to
// run, each station's record of its last complete run checked against its inputs and
// outputs as they are now.

#include <string>
#include <string_view>
#include <vector>

namespace soil_climate::gather {

// What the runs were asked to write beyond the tables: the pages, the drawings alone.
struct asked_outputs {
    bool html = false;
    bool figures = false;
};

// The fixed outputs of a station's run (its reports come on top).
std::vector<std::string> fixed_outputs(asked_outputs asked);

// An output as a station's record holds it ("<name> <size> <hash>"), and its name.
std::string output_entry(const std::string& name, std::string_view bytes);
std::string entry_name(const std::string& entry);

// A name that a year's report can have, so that removing an old report removes nothing
// else.
bool report_name(const std::string& name);

// gather_stations list: the stations of the folders on standard input, on standard output.
int list(const std::string& output, bool in_place);

// gather_stations plan: the stations to run, on standard output, each with its plan.
int plan(const std::string& logs, const std::string& salt, bool resume, asked_outputs asked);

}  // namespace soil_climate::gather
