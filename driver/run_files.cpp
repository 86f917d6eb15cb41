#include "driver/run_files.hpp"

namespace soil_climate {

run_files name_run_files(const std::string& file_prefix) {
    return run_files{
        file_prefix + "monthly_T", file_prefix + "monthly_P", file_prefix + "parameter", file_prefix + "summary",
        file_prefix + "SMRS",      file_prefix + "SMR",       file_prefix + "WSMR",    file_prefix + "years.csv",
    };
}

}  // namespace soil_climate
