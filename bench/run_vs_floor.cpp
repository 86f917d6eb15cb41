// Times a whole run_station run against the file-system floor: creating the same output
// files and writing the same bytes with one write per file. The two alternate, and the
// median ratio is printed with the median times and the program's peak resident memory.
//
// usage: run_vs_floor RUN_STATION STATION_FOLDER [ROUNDS]
// The station folder holds monthly_T, monthly_P and parameter; outputs are written there.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

const std::set<std::string> inputs{"monthly_T", "monthly_P", "parameter"};

struct output {
    std::string name;
    std::string bytes;
};

void remove_outputs() {
    for (const auto& entry : fs::directory_iterator(".")) {
        if (inputs.count(entry.path().filename().string()) == 0) {
            fs::remove(entry.path());
        }
    }
}

struct program_run {
    double seconds;
    long peak_kib;
};

// Runs the program with its output to /dev/null. A spawned child's peak resident memory
// counts the memory of the process it was spawned from until it execs, so for a true peak
// the program is started through a small shell (`through_shell`).
program_run run_program(const std::string& program, bool through_shell = false) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string shell_command = "exec '" + program + "'";
    char* direct[] = {const_cast<char*>(program.c_str()), nullptr};
    char* shell[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>(shell_command.c_str()),
                     nullptr};
    char** argv = through_shell ? shell : direct;
    const auto start = clock_type::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto stop = clock_type::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "run_station failed\n");
        std::exit(1);
    }
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

double write_floor(const std::vector<output>& outputs) {
    const auto start = clock_type::now();
    for (const output& file : outputs) {
        const int fd = open(file.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, file.bytes.data(), file.bytes.size()) != static_cast<ssize_t>(file.bytes.size()) ||
            close(fd) != 0) {
            std::perror(file.name.c_str());
            std::exit(1);
        }
    }
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_vs_floor RUN_STATION STATION_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::string program = fs::absolute(argv[1]).string();
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 21;
    fs::current_path(argv[2]);

    remove_outputs();
    const long peak_kib = run_program(program, true).peak_kib;
    std::vector<output> outputs;
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (inputs.count(name) == 0) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            outputs.push_back({name, bytes.str()});
        }
    }

    std::vector<double> ratios;
    std::vector<double> program_times;
    std::vector<double> floor_times;
    for (int round = 0; round < rounds; ++round) {
        double floor_seconds = 0.0;
        program_run run{};
        // Alternate which goes first, so that drift in the machine's state favours neither.
        if (round % 2 == 0) {
            remove_outputs();
            floor_seconds = write_floor(outputs);
            remove_outputs();
            run = run_program(program);
        } else {
            remove_outputs();
            run = run_program(program);
            remove_outputs();
            floor_seconds = write_floor(outputs);
        }
        ratios.push_back(run.seconds / floor_seconds);
        program_times.push_back(run.seconds);
        floor_times.push_back(floor_seconds);
    }

    std::size_t bytes = 0;
    for (const output& file : outputs) {
        bytes += file.bytes.size();
    }
    std::printf("output files: %zu, %zu bytes\n", outputs.size(), bytes);
    std::printf("run_station: median %.2f ms\n", median(program_times) * 1e3);
    std::printf("floor:       median %.2f ms\n", median(floor_times) * 1e3);
    std::printf("median ratio run_station / floor: %.3f over %d rounds\n", median(ratios), rounds);
    std::printf("peak resident memory of run_station: %ld KiB\n", peak_kib);
    return 0;
}
