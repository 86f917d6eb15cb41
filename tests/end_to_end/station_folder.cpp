#include "station_folder.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace soil_climate::testing {
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

}  // namespace

station_folder::station_folder() {
    std::string pattern = (fs::temp_directory_path() / "run_station_test_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

station_folder::~station_folder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void station_folder::write(const std::string& name, const std::string& text) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out << text;
}

void station_folder::copy_example(const std::string& station, const std::string& prefix) const {
    for (const char* file : {"monthly_T", "monthly_P", "parameter"}) {
        write(prefix + file, slurp(fs::path(EXAMPLES_DIR) / station / file));
    }
}

std::string station_folder::read(const std::string& name) const {
    return slurp(path_ / name);
}

bool station_folder::exists(const std::string& name) const {
    return fs::exists(fs::symlink_status(path_ / name));
}

std::vector<std::string> station_folder::names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(path_)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

station_folder::outcome station_folder::run(const std::vector<std::string>& arguments) const {
    std::string command = "cd " + shell_quoted(path_.string()) + " && " + shell_quoted(RUN_STATION_PATH);
    for (const std::string& argument : arguments) {
        command += " " + shell_quoted(argument);
    }
    const fs::path out = path_.parent_path() / (path_.filename().string() + ".out");
    const fs::path err = path_.parent_path() / (path_.filename().string() + ".err");
    command += " > " + shell_quoted(out.string()) + " 2> " + shell_quoted(err.string()) + " < /dev/null";
    const int status = std::system(command.c_str());
    outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

std::string expected_file(const std::string& relative_path) {
    return slurp(fs::path(EXPECTED_DIR) / relative_path);
}

}  // namespace soil_climate::testing
