// run_stations over several station folders: the same results as each station run alone,
// both tables checked row by row against the stations' own files, a failing station
// reported without stopping the others, resume keyed by the station folder, folders that
// are not stations skipped, and the Slurm array script covering every station once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;

std::string run_stations_apart(const std::string& arguments) {
    return std::string("RUN_STATION='") + RUN_STATION_PATH + "' '" + RUN_STATIONS_PATH + "' " + arguments;
}

// Most tests here look at each station's outputs in its own folder.
std::string run_stations(const std::string& arguments) {
    return run_stations_apart("--in-place " + arguments);
}

// Station folders below `root`, each a copy of an example or test station.
void lay_out(const station_folder& root, const std::map<std::string, std::string>& folders) {
    for (const auto& [folder, station] : folders) {
        fs::create_directories(root.path() / folder);
        root.copy_example(station, folder + "/");
    }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string quoted(const station_folder& root, const std::string& folder) {
    return "\"" + (root.path() / folder).string() + "\"";
}

// A station's row of stations_summary.csv, from its own files: the percentages of its SMR
// and SMRS (fixed layout: the name in columns 8 to 27, the percentage from column 30),
// then those of each temperature regime named in its reports.
std::string summary_row(const station_folder& root, const std::string& folder, const std::string& outputs) {
    std::string row = quoted(root, folder);
    const std::vector<std::string> table = lines_of(root.read(outputs + "/years.csv"));
    const int years = static_cast<int>(table.size()) - 1;
    row += "," + std::to_string(years);
    for (const char* frequencies : {"/SMR", "/SMRS"}) {
        const std::vector<std::string> lines = lines_of(root.read(outputs + frequencies));
        for (std::size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) {
            row += "," + lines[i].substr(29);
        }
    }
    std::map<std::string, int> temperature;
    for (std::size_t i = 1; i < table.size(); ++i) {
        const std::string report = root.read(outputs + "/" + table[i].substr(0, table[i].find(',')));
        const std::size_t at = report.find("Soil Temperature Regime:\n   ") + 28;
        ++temperature[report.substr(at, report.find('\n', at) - at)];
    }
    for (const char* name : {"Frigid", "Isofrigid", "Mesic", "Isomesic", "Thermic", "Isothermic", "Hyperthermic",
                             "Isohyperthermic"}) {
        char percent[16];
        std::snprintf(percent, sizeof percent, "%.2f", temperature[name] * 100.0 / years);
        row += std::string(",") + percent;
    }
    return row;
}

// Both tables, row by row, for the stations that ran, in the order given.
// `outputs_below` is where the stations' outputs are, when not in their own folders.
void expect_tables(const station_folder& root, const std::string& results, const std::vector<std::string>& ran,
                   const std::string& outputs_below = "") {
    std::vector<std::string> expected_rows;
    std::vector<std::string> expected_summary;
    for (const std::string& folder : ran) {
        const std::string outputs = outputs_below + folder;
        const std::vector<std::string> table = lines_of(root.read(outputs + "/years.csv"));
        for (std::size_t i = 1; i < table.size(); ++i) {
            expected_rows.push_back(quoted(root, folder) + "," + table[i] + ",,");  // no longitude or elevation
        }
        // The station's latitude, signed, from its table of years; no longitude or elevation.
        const std::string first_row = table.size() > 1 ? table[1] : "";
        std::vector<std::string> cells;
        std::istringstream fields(first_row);
        for (std::string cell; std::getline(fields, cell, ',');) {
            cells.push_back(cell);
        }
        const std::string latitude = cells.size() > 3 ? (cells[3] == "S" ? "-" : "") + cells[2] : "";
        expected_summary.push_back(summary_row(root, folder, outputs) + "," + latitude + ",,,ok,,");
    }
    std::vector<std::string> rows = lines_of(root.read(results + "/stations.csv"));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().rfind("station,year_label,station_name,", 0), 0u);
    EXPECT_TRUE(rows.front().ends_with(",temperature_regime,longitude,elevation"));
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 1, rows.end()), expected_rows);
    std::vector<std::string> summary = lines_of(root.read(results + "/stations_summary.csv"));
    ASSERT_FALSE(summary.empty());
    // The failed stations' rows, which say so at their end, are checked where they fail.
    std::erase_if(summary, [](const std::string& row) { return row.find(",failed (") != std::string::npos; });
    EXPECT_EQ(summary.front().rfind("station,years,moisture_aridic_percent,", 0), 0u);
    EXPECT_NE(summary.front().find(",subdivision_extreme_aridic_percent,"), std::string::npos);
    EXPECT_NE(summary.front().find(",temperature_isohyperthermic_percent"), std::string::npos);
    EXPECT_EQ(std::vector<std::string>(summary.begin() + 1, summary.end()), expected_summary);
}

TEST(RunStations, EachStationAsIfRunAloneAndFailuresReportedAtTheEnd) {
    station_folder root;
    lay_out(root, {{"davis", "davis"}, {"contrasts", "contrasts"}, {"southern", "southern"}, {"bad", "davis"},
                   {"broken", "davis"}});
    root.write("bad/parameter", "38.5 n 6.0 2.5 0.66 0.0 Davis\n");
    fs::remove(root.path() / "broken" / "monthly_P");
    const auto result = root.shell(run_stations("-j 2 -o results davis contrasts broken bad southern"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "run_stations: skipping " + (root.path() / "broken").string() +
                              ": not a station folder (no monthly_P)\n"
                              "run_stations: " + (root.path() / "bad").string() +
                              " failed (exit 1): parameter: field hemisphere \"n\" is not N or S.\n"
                              "run_stations: 1 of 4 stations failed.\n");
    for (const char* station : {"davis", "contrasts", "southern"}) {
        station_folder alone;
        alone.copy_example(station);
        ASSERT_EQ(alone.run({"--csv"}).status, 0);
        for (const std::string& name : alone.names()) {
            EXPECT_EQ(root.read(std::string(station) + "/" + name), alone.read(name)) << station << "/" << name;
        }
    }
    const std::string summary = root.read("results/stations_summary.csv");
    EXPECT_NE(summary.find(quoted(root, "bad") + "," + std::string(34, ',') + "failed (exit 1),\"parameter: field hemisphere \"\"n\"\" is not N or S.\",\n"),
              std::string::npos)
        << summary;
    // Captured output goes below the output folder, never into a station's folder.
    EXPECT_FALSE(root.exists("davis/run_station.out"));
    expect_tables(root, "results", {"davis", "contrasts", "southern"});
}

TEST(RunStations, ResumeIsKeyedByTheStationFolder) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "contrasts"}, {"c", "southern"}});
    root.write("c/parameter", "31.9 s 5.0 2.5 0.66 90 Perth\n");  // fails until mended
    ASSERT_EQ(root.shell(run_stations("-j 2 a c")).status, 1);

    // A finished station's output is removed: a resumed run writes it again, and leaves a
    // station that is complete alone.
    fs::remove(root.path() / "a" / "WSMR");
    root.copy_example("southern", "c/");
    const auto resumed = root.shell(run_stations("--resume -j 2 a b c"));
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_TRUE(root.exists("a/WSMR")) << "a station missing an output runs again";
    EXPECT_TRUE(root.exists("b/years.csv")) << "a station never run before runs";
    EXPECT_TRUE(root.exists("c/years.csv")) << "a failed station is retried";
    expect_tables(root, ".", {"a", "b", "c"});
}

// No byte of a folder's name changes what happens: a newline, a tab, letters beyond ASCII,
// a path too long for a log file's name, and an output folder with a backslash.
TEST(RunStationsNames, AreDataWhateverTheirBytes) {
    station_folder root;
    const std::string deep = "d/" + std::string(120, 'x') + "/" + std::string(120, 'y') + "/z";
    const std::vector<std::string> folders{"new\nline", "tab\tbed", "d\xC3\xA9j\xC3\xA0", deep};
    std::string arguments;
    for (const std::string& folder : folders) {
        fs::create_directories(root.path() / folder);
        root.copy_example("davis", folder + "/");
        arguments += " '" + folder + "'";
    }
    const auto result = root.shell(run_stations("--html -o 'out\\new'" + arguments));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string summary = root.read("out\\new/stations_summary.csv");
    const std::string index = root.read("out\\new/index.html");
    for (const std::string& folder : folders) {
        EXPECT_TRUE(root.exists(folder + "/years.csv")) << folder;
        EXPECT_NE(summary.find(quoted(root, folder) + ",30,"), std::string::npos) << folder;
    }
    EXPECT_NE(index.find("href=\"../d%C3%A9j%C3%A0/station.html\""), std::string::npos);
    EXPECT_NE(index.find("href=\"../new%0Aline/station.html\""), std::string::npos);
}

// The same folder spelled three ways runs once; a second run_stations on the output folder
// is refused before it touches anything; options are checked before the logs are cleared.
TEST(RunStationsNames, OneStationOnceAndOneRunPerOutputFolder) {
    station_folder root;
    lay_out(root, {{"ok", "davis"}});
    fs::create_directory_symlink(root.path() / "ok", root.path() / "link");
    const auto once = root.shell(run_stations("-o results ok ./ok link"));
    EXPECT_EQ(once.status, 0) << once.err;
    EXPECT_EQ(once.err, "run_stations: " + (root.path() / "./ok").string() + " is the station folder " +
                            (root.path() / "ok").string() + " again; it runs once\n" + "run_stations: " +
                            (root.path() / "link").string() + " is the station folder " +
                            (root.path() / "ok").string() + " again; it runs once\n");
    EXPECT_EQ(lines_of(root.read("results/stations_summary.csv")).size(), 2u);

    // This shell holds the output folder's lock while the second run_stations starts (not
    // as its last command, which the shell would replace by it).
    const auto refused =
        root.shell("exec 9> results/.run_stations.lock && flock 9 && " + run_stations("-o results ok") + "; exit $?");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "run_stations: another run_stations is using the output folder " +
                               (root.path() / "results").string() + "; wait until it has ended.\n");
    EXPECT_TRUE(fs::exists(root.path() / "results" / "logs"));

    EXPECT_EQ(root.shell(run_stations("-j 3000000000 -o results ok")).status, 2);
    EXPECT_FALSE(fs::is_empty(root.path() / "results" / "logs")) << "a refused run clears no logs";
}

// A station whose outputs are missing runs again on --resume (here the pages that a run
// without --html never wrote), and a gathering that cannot write keeps the earlier tables.
TEST(RunStationsNames, MissingOutputsRunAgainAndFailedTablesKeepTheOld) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "contrasts"}});
    ASSERT_EQ(root.shell(run_stations("-o results a b")).status, 0);
    const auto resumed = root.shell(run_stations("--resume --html -o results a b"));
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_TRUE(root.exists("a/station.html"));
    EXPECT_TRUE(root.exists("b/station.html"));

    const std::string tables = root.read("results/stations.csv") + root.read("results/stations_summary.csv");
    fs::remove(root.path() / "results" / "index.html");
    fs::create_directories(root.path() / "results" / "index.html" / "in_the_way");
    fs::remove(root.path() / "b" / "years.csv");
    const auto blocked = root.shell(run_stations("--resume --html -o results a b"));
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "run_stations: Output file of index.html opening failed. The earlier tables are kept.\n");
    EXPECT_EQ(root.read("results/stations.csv") + root.read("results/stations_summary.csv"), tables);
}

// Resume trusts the files, not the log: a station reruns when its outputs were deleted or
// its inputs changed, and not when nothing changed; one that failed and still fails keeps
// the exit status at 1 until it is mended. Outputs go apart from read-only station folders.
TEST(RunStationsResume, ByFingerprintAndOutputsOnDisk) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "contrasts"}, {"c", "southern"}});
    root.write("c/parameter", "31.9 s 5.0 2.5 0.66 90 Perth\n");
    ASSERT_EQ(root.shell("chmod -R a-w a b c").status, 0);
    const auto first = root.shell(run_stations_apart("-o results a b c"));
    EXPECT_EQ(first.status, 1);
    EXPECT_TRUE(root.exists("results/stations/a/years.csv"));
    EXPECT_FALSE(root.exists("a/years.csv")) << "the station folders are only read";
    ASSERT_EQ(root.shell("chmod -R u+w a b c").status, 0);

    const std::string a_table = root.read("results/stations/a/years.csv");
    const auto summary_mtime = [&](const std::string& station) {
        return fs::last_write_time(root.path() / "results" / "stations" / station / "summary");
    };
    const auto b_before = summary_mtime("b");
    fs::remove(root.path() / "results" / "stations" / "a" / "years.csv");
    root.write("b/monthly_P", root.read("b/monthly_P") + "\n");  // the same records, other bytes
    const auto still_failing = root.shell(run_stations_apart("--resume -o results a b c"));
    EXPECT_EQ(still_failing.status, 1) << "c still fails";
    EXPECT_EQ(root.read("results/stations/a/years.csv"), a_table) << "deleted outputs are made again";
    EXPECT_NE(summary_mtime("b"), b_before) << "changed inputs run again";
    EXPECT_NE(root.read("results/stations_summary.csv").find("/c\"," + std::string(34, ',') + "failed (exit 1)"),
              std::string::npos);

    root.copy_example("southern", "c/");
    const auto b_after = summary_mtime("b");
    const auto mended = root.shell(run_stations_apart("--resume -o results a b c"));
    EXPECT_EQ(mended.status, 0) << mended.err;
    EXPECT_EQ(summary_mtime("b"), b_after) << "an unchanged station is not run again";
    expect_tables(root, "results", {"a", "b", "c"}, "results/stations/");
}

// --no-reports leaves out the year's reports and nothing else, byte for byte.
TEST(RunStationsResume, LeanOutputsAreTheFullOnesLessTheReports) {
    station_folder root;
    lay_out(root, {{"a", "davis"}});
    ASSERT_EQ(root.shell(run_stations_apart("--html -o full a")).status, 0);
    ASSERT_EQ(root.shell(run_stations_apart("--html --no-reports -o lean a")).status, 0);
    for (const char* name : {"summary", "SMR", "SMRS", "WSMR", "years.csv", "station.html"}) {
        EXPECT_EQ(root.read(std::string("lean/stations/a/") + name), root.read(std::string("full/stations/a/") + name))
            << name;
    }
    EXPECT_TRUE(root.exists("full/stations/a/1981"));
    EXPECT_FALSE(root.exists("lean/stations/a/1981"));
    // The figures and the temperature scale reach every run, as run_station alone writes them.
    ASSERT_EQ(root.shell(run_stations_apart("--html --figures --temperature-scale -5:35 -o scaled a")).status, 0);
    ASSERT_EQ(root.shell(std::string("cd a && '") + RUN_STATION_PATH + "'" +
                         " --csv --html --figures --temperature-scale -5:35 --output-dir ../alone > /dev/null")
                  .status,
              0);
    for (const char* name : {"temperature_calendar.svg", "station.html"}) {
        EXPECT_EQ(root.read(std::string("scaled/stations/a/") + name), root.read(std::string("alone/") + name))
            << name;
    }
    // A drawing gone is an output missing: a resume makes it again.
    fs::remove(root.path() / "scaled" / "stations" / "a" / "temperature_calendar.svg");
    ASSERT_EQ(root.shell(run_stations_apart("--resume --html --figures --temperature-scale -5:35 -o scaled a")).status,
              0);
    EXPECT_EQ(root.read("scaled/stations/a/temperature_calendar.svg"), root.read("alone/temperature_calendar.svg"));
}

// A station.csv beside the inputs places the station: its longitude and elevation in both
// tables, and a point on the index's map.
TEST(RunStationsResume, StationsWithCoordinatesAreOnTheMap) {
    station_folder root;
    lay_out(root, {{"x/davis", "davis"}, {"y/davis", "davis"}});
    root.write("x/davis/station.csv", "id,name,latitude,longitude,elevation,source,files\n"
                                      "USC00042294,\"DAVIS 2 WSW, CA US\",38.5,-121.7761,18.3,ncei,davis.csv\n");
    ASSERT_EQ(root.shell(run_stations_apart("--html -o results x/davis y/davis")).status, 0);
    const std::string summary = root.read("results/stations_summary.csv");
    EXPECT_NE(summary.find(",38.5,-121.7761,18.3,ok,,\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find(",38.5,,,ok,,\n"), std::string::npos) << "no station.csv: the latitude of its years";
    EXPECT_NE(root.read("results/stations.csv").find(",Thermic,-121.7761,18.3\n"), std::string::npos);
    const std::string index = root.read("results/index.html");
    EXPECT_NE(index.find("<title>x/davis</title></circle>"), std::string::npos);
    EXPECT_EQ(index.find("<title>y/davis</title></circle>"), std::string::npos) << "no longitude, no point";
    EXPECT_NE(index.find("<p class=\"unplaced\">1 station is not on the map: no latitude and longitude are known"),
              std::string::npos);
    // Two folders named davis: each its own outputs.
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path() / "results" / "stations"), fs::directory_iterator()),
              2);
}

// What a station's run and its import warned of reaches both tables: a southern station
// with phase_shift 0, and years its import dropped; a station.csv written by hand with
// only latitude and longitude places it.
TEST(RunStations, EveryStationsWarningsReachTheSummaryAndTheIndex) {
    station_folder root;
    lay_out(root, {{"perth", "southern"}, {"davis", "davis"}});
    root.write("perth/parameter", "31.9 S 5.0 2.5 0.66 0 Perth\n");
    root.write("perth/import_report.csv", "year,outcome,month,element,missing_days,note\n1989,dropped,3,temperature,"
                                          "5,month incomplete\n1989,dropped,4,temperature,6,month incomplete\n"
                                          "1990,dropped,7,precipitation,,month incomplete\n1991,kept,,,,\n");
    root.write("perth/station.csv", "latitude,longitude\n-31.9,115.97\n");
    const auto run = root.shell(run_stations_apart("--html -o results perth davis"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string warning = "parameter: a southern station (S) with phase_shift 0 has its warmest soil on "
                                "15 May";
    const std::string dropped = "2 years dropped on import for incomplete months (between 1989 and 1990; see "
                                "import_report.csv)";
    const std::vector<std::string> summary = lines_of(root.read("results/stations_summary.csv"));
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_NE(summary[1].find(",-31.9,115.97,,ok,,\""), std::string::npos) << summary[1];
    EXPECT_NE(summary[1].find(warning), std::string::npos) << summary[1];
    EXPECT_TRUE(summary[1].ends_with("; " + dropped + "\"")) << summary[1];
    EXPECT_TRUE(summary[2].ends_with(",ok,,")) << summary[2];
    const std::string index = root.read("results/index.html");
    EXPECT_NE(index.find("<h2>Stations with warnings</h2>"), std::string::npos);
    EXPECT_NE(index.find(warning), std::string::npos);
    EXPECT_NE(index.find("<td>" + dropped + "</td>"), std::string::npos);
    EXPECT_NE(index.find("&#9888; 2 warnings</span>"), std::string::npos);
    EXPECT_EQ(index.find("&#9888; 1 warning"), std::string::npos) << "davis has none";
    EXPECT_NE(index.find("<p class=\"unplaced\">1 station is not on the map"), std::string::npos);
}

// --cold-regimes reaches every station's run, and the summary lists the cold regimes'
// columns only when a station has such a year.
TEST(RunStations, ColdRegimesPassToEveryStation) {
    station_folder root;
    lay_out(root, {{"fairbanks", "davis"}, {"davis", "davis"}});
    root.write("fairbanks/parameter", "64.8 N 6.0 2.5 0.66 0.0 Fairbanks\n");
    std::string temperature, precipitation;
    for (const char* year : {"1991", "1992"}) {
        temperature += std::string(year) + " -7.9 -2.4 11.5 32.1 49.5 60.6 62.9 57.3 45.9 26.4 6.4 -3.4\n";
        precipitation += std::string(year) + " 0.60 0.50 0.40 0.30 0.60 1.40 2.20 1.80 1.10 0.90 0.70 0.60\n";
    }
    root.write("fairbanks/monthly_T", temperature);
    root.write("fairbanks/monthly_P", precipitation);
    ASSERT_EQ(root.shell(run_stations_apart("-o plain davis fairbanks")).status, 0);
    const auto run = root.shell(run_stations_apart("--cold-regimes -o cold davis fairbanks"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> plain = lines_of(root.read("plain/stations_summary.csv"));
    const std::vector<std::string> cold = lines_of(root.read("cold/stations_summary.csv"));
    ASSERT_EQ(cold.size(), 3u);
    EXPECT_EQ(plain[0].find("cryic"), std::string::npos);
    EXPECT_NE(cold[0].find(",temperature_pergelic_percent,temperature_cryic_percent,latitude,"), std::string::npos);
    EXPECT_NE(cold[2].find(",0.00,100.00,64.8,"), std::string::npos) << cold[2];
    EXPECT_NE(root.read("cold/stations.csv").find(",Cryic,"), std::string::npos);
}

// A batch of stations runs in one run_station (--stations), each as if alone: its tables
// and logs are those of one run_station a station (an older run_station, without
// --stations), a failing station's included.
TEST(RunStations, OneProcessForABatchGivesWhatOneProcessAStationGives) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "southern"}, {"bad", "contrasts"}, {"c", "contrasts"}});
    root.write("bad/parameter", "40 N 6.0 2.5 0.66 0.0 Bad extra\n");
    root.write("bad/monthly_P", "1990 x\n");
    fs::create_directories(root.path() / "older");
    root.write("older/run_station", "#!/bin/sh\nif [ \"$1\" = --help ]; then '" + std::string(RUN_STATION_PATH) +
                                        "' --help | grep -v -e '--stations LOGS'; exit 0; fi\nexec '" +
                                        std::string(RUN_STATION_PATH) + "' \"$@\"\n");
    fs::permissions(root.path() / "older" / "run_station", fs::perms::owner_all);
    fs::create_symlink(fs::path(RUN_STATION_PATH).parent_path() / "gather_stations",
                       root.path() / "older" / "gather_stations");
    for (const std::string& program :
         {std::string(RUN_STATION_PATH), (root.path() / "older" / "run_station").string()}) {
        const std::string out = program == RUN_STATION_PATH ? "listed" : "each";
        const auto run = root.shell("RUN_STATION='" + program + "' '" + RUN_STATIONS_PATH + "' -j 1 --html -o " +
                                    out + " a b bad c");
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_NE(run.err.find("/bad failed (exit 1): "), std::string::npos) << out << run.err;
    }
    for (const char* name : {"stations.csv", "stations_summary.csv", "stations/b/station.html"}) {
        EXPECT_EQ(root.read(std::string("listed/") + name), root.read(std::string("each/") + name)) << name;
    }
    int logs = 0;
    for (const auto& entry : fs::directory_iterator(root.path() / "listed" / "logs")) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".out") || name.ends_with(".status")) {
            EXPECT_EQ(root.read("listed/logs/" + name), root.read("each/logs/" + name)) << name;
            ++logs;
        }
    }
    EXPECT_EQ(logs, 8);
}

TEST(RunStations, FoldersThatAreNotStationsAreSkipped) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "contrasts"}});
    ASSERT_EQ(root.shell(run_stations("-o results */")).status, 0);
    const std::string first_table = root.read("results/stations.csv");
    // The second time round, */ takes in results/ too.
    const auto again = root.shell(run_stations("-o results */"));
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "run_stations: skipping " + (root.path() / "results").string() +
                             ": not a station folder (no monthly_T)\n");
    EXPECT_EQ(root.read("results/stations.csv"), first_table);
    expect_tables(root, "results", {"a", "b"});
}

TEST(RunStations, UsageErrorsEndBeforeAnythingRuns) {
    station_folder root;
    lay_out(root, {{"davis", "davis"}});
    struct usage_case {
        std::string arguments;
        std::string message;
    };
    const usage_case cases[] = {
        {"", "no STATION_DIR given"},
        {"--bogus davis", "unknown option --bogus"},
        {"-j abc davis", "-j needs a whole number of stations at once, not 'abc'"},
        {"-j 0 davis", "-j needs a whole number of stations at once, not '0'"},
        {"-j 99999999999999999999 davis", "-j takes at most 4096 stations at once, not '99999999999999999999'"},
        {"-j 3000000000 davis", "-j takes at most 4096 stations at once, not '3000000000'"},
        {"--sshloginfile nowhere davis", "cannot read the ssh login file 'nowhere'"},
        {"nothing", "no station folder among the arguments"},
        {"--temperature-scale '0 30' davis", "--temperature-scale takes MIN:MAX in whole degrees, not '0 30'"},
    };
    for (const usage_case& c : cases) {
        const auto result = root.shell(run_stations("-o results " + c.arguments));
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_NE(result.err.find("run_stations: " + c.message + "\nTry 'run_stations --help'.\n"),
                  std::string::npos)
            << c.arguments << ": " << result.err;
        EXPECT_FALSE(root.exists("davis/years.csv")) << c.arguments;
    }
    const auto help = root.shell(run_stations("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: run_stations [options] STATION_DIR...", 0), 0u);
}

TEST(RunStations, FindsTheProgramBesideItself) {
    station_folder root;
    lay_out(root, {{"davis", "davis"}});
    fs::create_directory(root.path() / "bin");
    fs::copy_file(RUN_STATIONS_PATH, root.path() / "bin" / "run_stations");
    const std::string clean = "env -u RUN_STATION PATH=/usr/bin:/bin bin/run_stations davis";
    const auto alone = root.shell(clean);
    EXPECT_EQ(alone.status, 2);
    EXPECT_NE(alone.err.find("cannot find run_station: set RUN_STATION=/path/to/run_station"), std::string::npos);
    fs::create_symlink(RUN_STATION_PATH, root.path() / "bin" / "run_station");
    EXPECT_EQ(root.shell(clean).status, 0);
    EXPECT_TRUE(root.exists("stations/davis/years.csv"));
}

// Tasks of a Slurm array, given their variables by hand, over 5 stations: whatever the
// range, every station runs exactly once, and the gathering step joins the tasks' tables.
TEST(SlurmArray, EveryStationRunsExactlyOnceWhateverTheRange) {
    struct array_range {
        int first;
        int last;
    };
    for (const array_range range : {array_range{0, 1}, array_range{1, 2}, array_range{0, 9}}) {
        station_folder root;
        lay_out(root, {{"stations/s1", "davis"}, {"stations/s2", "contrasts"}, {"stations/s3", "southern"},
                       {"stations/s4", "davis"}, {"stations/s5", "contrasts"}});
        const std::string script = std::string(EXAMPLES_DIR) + "/slurm_stations.sbatch";
        const std::string variables = "RUN_STATION='" + std::string(RUN_STATION_PATH) + "' RUN_STATIONS='" +
                                      RUN_STATIONS_PATH + "' SLURM_ARRAY_TASK_MIN=" + std::to_string(range.first) +
                                      " SLURM_ARRAY_TASK_COUNT=" + std::to_string(range.last - range.first + 1);
        for (int task = range.first; task <= range.last; ++task) {
            const auto result = root.shell(variables + " SLURM_ARRAY_TASK_ID=" + std::to_string(task) + " bash '" +
                                           script + "' stations results");
            ASSERT_EQ(result.status, 0) << result.err;
        }
        const auto gathered = root.shell(variables + " bash '" + script + "' --gather results");
        ASSERT_EQ(gathered.status, 0) << gathered.err;
        EXPECT_TRUE(root.exists("results/index.html"));
        const std::vector<std::string> summary = lines_of(root.read("results/stations_summary.csv"));
        std::vector<std::string> stations;
        for (std::size_t i = 1; i < summary.size(); ++i) {
            stations.push_back(summary[i].substr(0, summary[i].find(',')));
        }
        std::sort(stations.begin(), stations.end());
        std::vector<std::string> every;
        for (const char* folder : {"s1", "s2", "s3", "s4", "s5"}) {
            every.push_back(quoted(root, std::string("stations/") + folder));
        }
        EXPECT_EQ(stations, every) << range.first << "-" << range.last;
        const std::vector<std::string> rows = lines_of(root.read("results/stations.csv"));
        EXPECT_EQ(rows.size(), 1u + 30 + 3 + 2 + 30 + 3) << range.first << "-" << range.last;
        // Every link of the index leads to a page that the tasks wrote.
        const std::string index = root.read("results/index.html");
        int links = 0;
        for (std::size_t at = index.find("<a href=\""); at != std::string::npos; at = index.find("<a href=\"", at + 1)) {
            const std::size_t start = at + 9;
            const std::string link = index.substr(start, index.find('"', start) - start);
            EXPECT_TRUE(root.exists("results/" + link)) << link;
            ++links;
        }
        EXPECT_EQ(links, 5);
    }
}

// Submitted from a login node, the script sends the array and then its own gathering job
// as a job of this same script, which keeps the script's #SBATCH lines.
TEST(SlurmArray, TheGatheringJobIsTheScriptItselfAfterTheArray) {
    station_folder root;
    lay_out(root, {{"stations/s1", "davis"}});
    fs::create_directories(root.path() / "bin");
    root.write("bin/sbatch", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/calls\"\necho 4711\n");
    fs::permissions(root.path() / "bin" / "sbatch", fs::perms::owner_all);
    const std::string script = std::string(EXAMPLES_DIR) + "/slurm_stations.sbatch";
    const auto submitted = root.shell("PATH=\"$PWD/bin:$PATH\" bash '" + script + "' --submit stations results 3");
    ASSERT_EQ(submitted.status, 0) << submitted.err;
    const std::vector<std::string> calls = lines_of(root.read("bin/calls"));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("--array=0-2 " + fs::canonical(script).string()), std::string::npos) << calls[0];
    EXPECT_NE(calls[1].find("--dependency=afterany:4711 "), std::string::npos) << calls[1];
    EXPECT_TRUE(calls[1].ends_with(fs::canonical(script).string() + " --gather " +
                                   fs::canonical(root.path() / "results").string() + " 3"))
        << calls[1];
    EXPECT_EQ(calls[1].find("--wrap"), std::string::npos);
}

// The gathering job says which tasks left nothing and which stations failed, and ends
// non-zero.
TEST(SlurmArray, TheGatheringJobReportsFailedTasksAndStations) {
    station_folder root;
    lay_out(root, {{"stations/s1", "davis"}, {"stations/s2", "davis"}});
    root.write("stations/s2/parameter", "38.5 n 6.0 2.5 0.66 0.0 Davis\n");
    const std::string script = std::string(EXAMPLES_DIR) + "/slurm_stations.sbatch";
    const std::string variables = "RUN_STATION='" + std::string(RUN_STATION_PATH) + "' RUN_STATIONS='" +
                                  RUN_STATIONS_PATH + "' SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_COUNT=1";
    root.shell(variables + " SLURM_ARRAY_TASK_ID=0 bash '" + script + "' stations results");
    const auto gathered = root.shell(variables + " bash '" + script + "' --gather results 2");
    EXPECT_EQ(gathered.status, 1);
    EXPECT_NE(gathered.err.find("task 1 left no results\n"), std::string::npos) << gathered.err;
    EXPECT_NE(gathered.err.find("/stations/s2 failed (exit 1): parameter: field hemisphere"), std::string::npos)
        << gathered.err;
    EXPECT_NE(root.read("results/index.html").find("<h2>Failed stations</h2>"), std::string::npos);
}

}  // namespace
}  // namespace soil_climate::testing

namespace soil_climate::testing {
namespace {

TEST(RunStationsPeriods, APeriodAgainstItselfChangesNothingAndEachSideCountsItsYears) {
    station_folder root;
    lay_out(root, {{"davis", "davis"}, {"southern", "southern"}, {"contrasts", "contrasts"}});
    // The contrasts station's years are labelled by their regimes, not by years.
    const auto same_run = root.shell(run_stations("--html --periods 1981:1995,1981:1995 -o same davis southern contrasts"));
    EXPECT_EQ(same_run.status, 1);
    EXPECT_NE(same_run.err.find("comparing periods needs a year as the label"), std::string::npos) << same_run.err;
    const std::vector<std::string> same = lines_of(root.read("same/stations_periods.csv"));
    ASSERT_EQ(same.size(), 4u);
    for (std::size_t row = 1; row < 3; ++row) {
        EXPECT_NE(same[row].find(",0.00,0.00,0.00,0.00,0.00,0.00,0.00,ok"), std::string::npos) << same[row];
    }
    EXPECT_EQ(same[3], quoted(root, "contrasts") + ",1981-1995,0,1981-1995,0,,,,,,,,,,failed (years.csv)");
    EXPECT_NE(root.read("same/index.html").find(" unchanged, +0.00 K</td>"), std::string::npos);

    ASSERT_EQ(root.shell(run_stations("--periods 1981:1995,1996:2010 -o split davis")).status, 0);
    const std::vector<std::string> split = lines_of(root.read("split/stations_periods.csv"));
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[1].rfind(quoted(root, "davis") + ",1981-1995,15,1996-2010,15,", 0), 0u) << split[1];
    EXPECT_FALSE(root.exists("split/index.html"));

    for (const char* wrong : {"--periods 1981:1995", "--periods 1995:1981,1996:2010", "--periods"}) {
        const auto refused = root.shell(run_stations(std::string(wrong) + " -o other davis"));
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_NE(refused.err.find("--periods"), std::string::npos) << wrong << ": " << refused.err;
    }
}

}  // namespace
}  // namespace soil_climate::testing
