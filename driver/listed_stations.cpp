#include "driver/listed_stations.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace soil_climate {

namespace {

// Standard output and error into one station's log, and back.
class log_redirection {
public:
    explicit log_redirection(int log) {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
    }
    ~log_redirection() {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(saved_output_, STDOUT_FILENO);
        dup2(saved_error_, STDERR_FILENO);
    }
    log_redirection(const log_redirection&) = delete;
    log_redirection& operator=(const log_redirection&) = delete;

    static void keep_originals() {
        saved_output_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        saved_error_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    }

private:
    static inline int saved_output_ = -1;
    static inline int saved_error_ = -1;
};

void write_status(const std::string& name, int status) {
    // As the shell's redirection did: a status that cannot be written leaves the station
    // without one, and the gathering step reports it as not run.
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) {
        return;
    }
    const std::string text = std::to_string(status) + "\n";
    const ssize_t written = write(file, text.data(), text.size());
    close(file);
    if (written != static_cast<ssize_t>(text.size())) {
        unlink(name.c_str());
    }
}

}  // namespace

int run_listed_stations(const command_line& options, std::istream& list,
                        const std::function<int(const command_line&)>& run_one) {
    log_redirection::keep_originals();
    // Every folder of the list, and the logs folder, are taken from where the run began,
    // however each station moved about.
    const int start = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string folder;
    std::string key;
    std::string outputs;
    while (std::getline(list, folder, '\0') && std::getline(list, key, '\0') && std::getline(list, outputs, '\0')) {
        const std::string log = options.logs_dir + "/" + key;
        const int log_file = open((log + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (log_file < 0) {
            continue;
        }
        int status = 1;
        {
            const log_redirection into_log(log_file);
            close(log_file);
            if (chdir(folder.c_str()) != 0) {
                std::printf("cannot enter the folder\n");
            } else {
                command_line station = options;
                station.logs_dir.clear();
                station.output_dir = outputs == folder ? std::string() : outputs;
                status = run_one(station);
            }
        }
        if (start >= 0 && fchdir(start) != 0) {
            return 1;
        }
        write_status(log + ".status", status);
    }
    if (start >= 0) {
        close(start);
    }
    return 0;
}

}  // namespace soil_climate
