// gather_stations: the steps of run_stations around the runs of the stations.
//
//   gather_stations list [--in-place] OUTPUT_DIR < folders > stations
//   gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations
//   gather_stations tables [--html] [--no-reports] OUTPUT_DIR LOGS_DIR < stations
//
// list reads the folders as given on the command line (NUL-separated) and writes the
// stations: NUL-separated fields, four a station: its name as given, its folder (an
// absolute path), the name of its log files in LOGS_DIR ("<name>.status" holds the exit
// status of its run, "<name>.out" what it printed) and the folder of its outputs
// (OUTPUT_DIR/stations/<name>, or the folder itself with --in-place). A folder given
// again, however spelled, is listed once; a folder that is no station is skipped; each
// with a line on standard error.
//
// plan prints, NUL-separated, the folder, the log name and the output folder of each
// station to run: every station, or with --resume those whose record of their last
// complete run ("<name>.fingerprint") does not stand: the fingerprint of what the results
// are made from (the three input files' bytes and SALT) has changed, the run failed, or
// an output it wrote (summary, SMRS, SMR, WSMR, years.csv, each year's report, and
// station.html with --html) is missing or no longer reads back as it was written. A
// station to run loses its status, output and record, and gets "<name>.planned": the
// fingerprint of what it reads now and the year reports its outputs hold before the run.
//
// tables reads every station's years.csv and station.csv (where it has one) and writes
// into OUTPUT_DIR "stations.csv", "stations_summary.csv" and, with --html, "index.html",
// each under a temporary name, replacing the earlier versions only once all are
// complete. For each station that this run planned and that ended with status 0, it
// records the planned fingerprint and each output's size and hash as the station's
// record, and removes the reports of years that this run did not write (all of them with
// --no-reports). A failed station is listed on standard error with the last line its run
// printed, or with what is wrong with its outputs.
//
// Every file is read with a bound and only when it is a regular file.
//
// Exit status: 0 when every station ran, 1 when any failed, when the list of stations is
// damaged or when a table could not be written, 2 on a usage error.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver/gather_plan.hpp"
#include "driver/gather_tables.hpp"
#include "station_files/run_failure.hpp"

int main(int argc, char** argv) {
    static constexpr const char* usage =
        "Usage: gather_stations list [--in-place] OUTPUT_DIR < folders > stations\n"
        "       gather_stations plan [--resume] [--html] [--figures] LOGS_DIR SALT < stations\n"
        "       gather_stations tables [--html] [--figures] [--no-reports] [--periods A:B,C:D] OUTPUT_DIR LOGS_DIR "
        "< stations\n"
        "       gather_stations --help\n"
        "The steps of run_stations around the runs of the stations; see gather_stations(1).\n";
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto take = [&](const char* option) {
        const auto at = std::find(arguments.begin(), arguments.end(), option);
        const bool found = at != arguments.end();
        if (found) {
            arguments.erase(at);
        }
        return found;
    };
    const std::string step = arguments.empty() ? "" : arguments.front();
    if (step == "--help") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    const bool resume = take("--resume");
    const soil_climate::gather::asked_outputs asked{take("--html"), take("--figures")};
    const bool in_place = take("--in-place");
    const bool no_reports = take("--no-reports");
    std::optional<soil_climate::compared_periods> periods;
    if (const auto at = std::find(arguments.begin(), arguments.end(), "--periods"); at != arguments.end()) {
        periods = at + 1 == arguments.end() ? std::nullopt : soil_climate::parse_periods(*(at + 1));
        if (!periods || step != "tables") {
            std::fprintf(stderr, "run_stations: --periods needs two periods of years, e.g. 1961:1990,1991:2020\n");
            return 2;
        }
        arguments.erase(at, at + 2);
    }
    try {
        if (step == "list" && arguments.size() == 1 && !resume && !asked.html && !asked.figures && !no_reports) {
            return soil_climate::gather::list(arguments[0], in_place);
        }
        if (step == "plan" && arguments.size() == 2 && !no_reports) {
            return soil_climate::gather::plan(arguments[0], arguments[1], resume, asked);
        }
        if (step == "tables" && arguments.size() == 2 && !resume && !in_place) {
            return soil_climate::gather::tables(arguments[0], arguments[1], asked, !no_reports, periods);
        }
    } catch (const soil_climate::run_failure& failure) {
        std::fprintf(stderr, "run_stations: %s The earlier tables are kept.\n", failure.what());
        return 1;
    }
    std::fputs(usage, stderr);
    return 2;
}
