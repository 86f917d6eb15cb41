#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace soil_climate::testing {

// A fresh temporary folder in which the built run_station is run, as a user would.
class station_folder {
public:
    station_folder();
    ~station_folder();
    station_folder(const station_folder&) = delete;
    station_folder& operator=(const station_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void write(const std::string& name, const std::string& text) const;
    // Copies the three input files of an example station ("davis") or of a test station
    // ("contrasts", "southern") into the folder, each name led by `prefix`.
    void copy_example(const std::string& station, const std::string& prefix = "") const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

    // Every file and folder in the folder, sorted by name.
    std::vector<std::string> names() const;

    struct outcome {
        int status;
        std::string out;  // standard output
        std::string err;  // standard error
    };

    // Runs run_station in this folder with the given arguments, each quoted for the shell.
    outcome run(const std::vector<std::string>& arguments = {}) const;

    // Runs a shell command line in this folder.
    outcome shell(const std::string& command) const;

    // The same as an unprivileged user, for tests of permissions that root would bypass.
    // False when the program cannot be run so here.
    bool run_unprivileged(const std::vector<std::string>& arguments, outcome& result) const;

private:
    outcome run_command(const std::string& launcher, const std::vector<std::string>& arguments) const;

    std::filesystem::path path_;
};

// The text of a file below the source tree's tests/end_to_end/expected folder.
std::string expected_file(const std::string& relative_path);

}  // namespace soil_climate::testing
