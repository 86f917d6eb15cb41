#include "driver/command_line.hpp"

#include <cstdlib>
#include <string_view>

#include "driver/run_failure.hpp"

namespace soil_climate {

command_line parse_command_line(int argc, const char* const* argv) {
    command_line options;
    int next = 1;
    for (; next < argc && std::string_view(argv[next]).starts_with("--"); ++next) {
        const std::string_view option = argv[next];
        if (option == "--") {
            ++next;
            break;
        }
        if (option == "--csv") {
            options.write_csv = true;
        } else if (option == "--help") {
            options.action = command_line::request::help;
        } else if (option == "--version") {
            options.action = command_line::request::version;
        } else {
            throw run_failure("Command line: unknown option " + std::string(option) +
                              "; run_station --help lists the options.");
        }
    }
    if (next < argc) {
        options.capacity_given = true;
        options.capacity_text = argv[next];
        options.capacity_mm = std::atof(argv[next]);
    }
    if (next + 1 < argc) {
        options.file_prefix = argv[next + 1];
    }
    return options;
}

const char* usage_text() {
    return "Usage: run_station [--csv] [capacity [prefix]]\n"
           "       run_station --help | --version\n"
           "\n"
           "Simulates the soil water and soil temperature of one station year by year and\n"
           "classifies each year's soil moisture regime, its tentative subdivision and the\n"
           "soil temperature regime.\n"
           "\n"
           "  capacity   water-holding capacity of the soil in mm; replaces the parameter\n"
           "             file's (read as atof reads it: its leading number, 0 if none)\n"
           "  prefix     text put in front of every file name (given only with a capacity)\n"
           "  --csv      also write prefix + \"years.csv\": one row per year for R or Python\n"
           "  --help     print this text;  --version  print the version\n"
           "\n"
           "Reads prefix + monthly_T (label and 12 monthly mean air temperatures, deg F),\n"
           "monthly_P (label and 12 monthly precipitation totals, inches) and parameter\n"
           "(latitude, N or S, capacity in inches, soil temperature offset in deg C,\n"
           "amplitude factor, phase shift in days, station name).\n"
           "Writes one report per year named prefix + label, and prefix + summary, SMRS,\n"
           "SMR and WSMR.\n"
           "\n"
           "Exit status: 0 after a complete run; 1 after a failure, printed as one line on\n"
           "standard output.\n";
}

}  // namespace soil_climate
