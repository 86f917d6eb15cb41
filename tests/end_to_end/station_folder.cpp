#include "station_folder.hpp"

#include <sys/wait.h>
#include <unistd.h>

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
    const fs::path example = fs::path(EXAMPLES_DIR) / station;
    const fs::path source = fs::exists(example) ? example : fs::path(STATIONS_DIR) / station;
    for (const char* file : {"monthly_T", "monthly_P", "parameter"}) {
        write(prefix + file, slurp(source / file));
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
    return run_command("", arguments);
}

bool station_folder::run_unprivileged(const std::vector<std::string>& arguments, outcome& result) const {
    if (geteuid() != 0) {
        result = run_command("", arguments);
        return true;
    }
    // As root: run as the user nobody, who can reach the folder but owns nothing in it.
    if (std::system("command -v setpriv > /dev/null 2>&1") != 0) {
        return false;
    }
    fs::permissions(path_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    // The program and the folder must be within that user's reach (a checkout or a
    // temporary folder below a private home is not).
    const std::string reachable = as_nobody + "test -x " + shell_quoted(RUN_STATION_PATH) + " && " + as_nobody +
                                  "test -r " + shell_quoted((path_ / "monthly_T").string());
    if (shell(reachable).status != 0) {
        return false;
    }
    result = run_command(as_nobody, arguments);
    return true;
}

station_folder::outcome station_folder::run_command(const std::string& launcher,
                                                    const std::vector<std::string>& arguments) const {
    std::string command = launcher + shell_quoted(RUN_STATION_PATH);
    for (const std::string& argument : arguments) {
        command += " " + shell_quoted(argument);
    }
    return shell(command);
}

station_folder::outcome station_folder::shell(const std::string& command) const {
    const fs::path out = path_.parent_path() / (path_.filename().string() + ".out");
    const fs::path err = path_.parent_path() / (path_.filename().string() + ".err");
    const std::string line = "cd " + shell_quoted(path_.string()) + " && (" + command + "\n) > " +
                             shell_quoted(out.string()) + " 2> " + shell_quoted(err.string()) + " < /dev/null";
    const int status = std::system(line.c_str());
    outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

std::string expected_file(const std::string& relative_path) {
    return slurp(fs::path(EXPECTED_DIR) / relative_path);
}

}  // namespace soil_climate::testing
