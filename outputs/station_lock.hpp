#pragma once

#include <string>

namespace soil_climate {

// The station's lock: only one run at a time works on a station's files. It is an
// advisory lock on the file prefix + ".run_station.lock", which exists only while a run
// holds it, so it stays with the station's name whatever happens to its input files (an
// editor or an import may replace monthly_T during a run). A second run finds it taken and
// ends with a message naming `temperature_file`. The system drops the lock when the
// process ends, however it ends; the file is removed at the end of the run and on the
// signals that remove the run's temporary files.
class station_lock {
public:
    station_lock(const std::string& file_prefix, const std::string& temperature_file);
    ~station_lock();
    station_lock(const station_lock&) = delete;
    station_lock& operator=(const station_lock&) = delete;

private:
    std::string name_;
    int descriptor_ = -1;
    int tracked_ = -1;
};

}  // namespace soil_climate
