// Times whole run_station runs against the file-system floor: creating the same output
// files and writing the same bytes with one write each. Both sides write into a fresh
// folder every round (the program's holds only the station's three inputs, the floor's
// nothing), on every file system given; they alternate, and the spread over the rounds
// is printed with the median, along with the program's peak resident memory.
//
// usage: run_vs_floor RUN_STATION STATION_FOLDER ROUNDS WORK_FOLDER...
// The station folder holds monthly_T, monthly_P and parameter; each work folder is a place
// on one file system (a folder on disk, /dev/shm for tmpfs) where the rounds' folders are
// made and removed.

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
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

const char* const inputs[] = {"monthly_T", "monthly_P", "parameter"};

struct output {
    std::string name;
    std::string bytes;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

struct program_run {
    double seconds;
    long peak_kib;
};

// Runs the program in `folder` with its output to /dev/null. A spawned child's peak
// resident memory counts the memory of the process it was spawned from until it execs,
// so for a true peak the program is started through a small shell (`through_shell`).
program_run run_program(const std::string& program, const fs::path& folder, bool through_shell = false) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string shell_command = "cd '" + folder.string() + "' && exec '" + program + "'";
    char* shell[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>(shell_command.c_str()),
                     nullptr};
    char* direct[] = {const_cast<char*>(program.c_str()), nullptr};
    const fs::path here = fs::current_path();
    if (!through_shell) {
        fs::current_path(folder);
    }
    const auto start = clock_type::now();
    pid_t child = 0;
    if (posix_spawn(&child, through_shell ? "/bin/sh" : program.c_str(), &actions, nullptr,
                    through_shell ? shell : direct, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto stop = clock_type::now();
    fs::current_path(here);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "run_station failed\n");
        std::exit(1);
    }
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

double write_floor(const fs::path& folder, const std::vector<output>& outputs) {
    const auto start = clock_type::now();
    for (const output& file : outputs) {
        const std::string name = (folder / file.name).string();
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || write(fd, file.bytes.data(), file.bytes.size()) != static_cast<ssize_t>(file.bytes.size()) ||
            close(fd) != 0) {
            std::perror(name.c_str());
            std::exit(1);
        }
    }
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// A fresh folder below `root`, with the station's inputs when they are given.
fs::path fresh_folder(const fs::path& root, const char* kind, int round, const std::vector<output>& with) {
    const fs::path folder = root / ("run_vs_floor_" + std::to_string(getpid()) + "_" + kind + std::to_string(round));
    fs::remove_all(folder);
    fs::create_directory(folder);
    for (const output& file : with) {
        write_file(folder / file.name, file.bytes);
    }
    sync();
    return folder;
}

struct spread {
    double low, median, high;
};

spread spread_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    return {values.front(), median, values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: run_vs_floor RUN_STATION STATION_FOLDER ROUNDS WORK_FOLDER...\n");
        return 2;
    }
    const std::string program = fs::absolute(argv[1]).string();
    const fs::path station = fs::absolute(argv[2]);
    const int rounds = std::atoi(argv[3]);
    std::vector<output> station_inputs;
    for (const char* name : inputs) {
        station_inputs.push_back({name, slurp(station / name)});
    }

    // One run shows what the program writes, and its peak memory.
    const fs::path first = fresh_folder(fs::absolute(argv[4]), "first", 0, station_inputs);
    const long peak_kib = run_program(program, first, true).peak_kib;
    std::vector<output> outputs;
    std::size_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(first)) {
        const std::string name = entry.path().filename().string();
        if (std::find(std::begin(inputs), std::end(inputs), name) == std::end(inputs)) {
            outputs.push_back({name, slurp(entry.path())});
            bytes += outputs.back().bytes.size();
        }
    }
    fs::remove_all(first);
    std::printf("output files: %zu, %zu bytes; peak resident memory of run_station: %ld KiB\n", outputs.size(), bytes,
                peak_kib);

    for (int w = 4; w < argc; ++w) {
        const fs::path root = fs::absolute(argv[w]);
        std::vector<double> program_times, floor_times, ratios;
        for (int round = 0; round < rounds; ++round) {
            const fs::path program_folder = fresh_folder(root, "program", round, station_inputs);
            const fs::path floor_folder = fresh_folder(root, "floor", round, {});
            double program_seconds = 0.0;
            double floor_seconds = 0.0;
            // Alternate which goes first, so that drift in the machine's state favours neither.
            if (round % 2 == 0) {
                floor_seconds = write_floor(floor_folder, outputs);
                program_seconds = run_program(program, program_folder).seconds;
            } else {
                program_seconds = run_program(program, program_folder).seconds;
                floor_seconds = write_floor(floor_folder, outputs);
            }
            program_times.push_back(program_seconds * 1e3);
            floor_times.push_back(floor_seconds * 1e3);
            ratios.push_back(program_seconds / floor_seconds);
            fs::remove_all(program_folder);
            fs::remove_all(floor_folder);
        }
        const spread p = spread_of(program_times);
        const spread f = spread_of(floor_times);
        const spread r = spread_of(ratios);
        std::printf("%s, %d rounds (lowest / median / highest):\n", root.c_str(), rounds);
        std::printf("  run_station  %8.2f %8.2f %8.2f ms\n", p.low, p.median, p.high);
        std::printf("  floor        %8.2f %8.2f %8.2f ms\n", f.low, f.median, f.high);
        std::printf("  ratio        %8.2f %8.2f %8.2f\n", r.low, r.median, r.high);
    }
    return 0;
}
