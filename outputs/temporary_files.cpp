#include "outputs/temporary_files.hpp"

#include <dirent.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstring>

#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate::temporary_files {
namespace {

// The signal handler's view of the temporary files: fixed slots that it may read without
// locks or allocation. A run has at most a handful of outputs open at once. These are the
// program's only globals: a signal handler can reach nothing else.
constexpr int slot_count = 16;
constexpr std::size_t longest_name = 4096;
std::array<std::array<char, longest_name>, slot_count> slot_names;
std::array<volatile std::sig_atomic_t, slot_count> slot_in_use{};
unsigned long names_made = 0;
std::string process_id;  // asked for once: every name carries it

extern "C" void remove_and_end(int signal_number) {
    for (int slot = 0; slot < slot_count; ++slot) {
        if (slot_in_use[slot] != 0) {
            unlink(slot_names[slot].data());
        }
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

}  // namespace

void remove_on_signals() {
    constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    struct sigaction action {};
    action.sa_handler = remove_and_end;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : handled) {
        sigaddset(&action.sa_mask, signal_number);
    }
    for (const int signal_number : handled) {
        // A signal ignored when the run began (nohup's SIGHUP, a shell's SIGPIPE) stays
        // ignored: the run goes on as its parent asked.
        struct sigaction before {};
        if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
    }
}

int track_new_name(const std::string& file_prefix, std::string& name) {
    if (process_id.empty()) {
        process_id = std::to_string(getpid());
    }
    name = file_prefix;
    name += temporary_file_marker;
    name += process_id;
    name += '-';
    name += std::to_string(names_made++);
    return track_name(name);
}

int track_name(const std::string& name) {
    if (name.size() >= longest_name) {
        throw run_failure("Output file " + name + " opening failed: the name is too long.");
    }
    for (int slot = 0; slot < slot_count; ++slot) {
        if (slot_in_use[slot] == 0) {
            std::memcpy(slot_names[slot].data(), name.c_str(), name.size() + 1);
            slot_in_use[slot] = 1;
            return slot;
        }
    }
    throw run_failure("Internal error: more than 16 output files open at once.");
}

void untrack(int tracked) {
    slot_in_use[tracked] = 0;
}

void remove_stale(const std::string& file_prefix) {
    const std::size_t slash = file_prefix.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file_prefix.substr(0, slash + 1);
    const std::string stale =
        (slash == std::string::npos ? file_prefix : file_prefix.substr(slash + 1)) + std::string(temporary_file_marker);
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        return;  // creating the first output will say what is wrong with the folder
    }
    while (const dirent* entry = readdir(listing)) {
        if (std::strncmp(entry->d_name, stale.c_str(), stale.size()) == 0) {
            unlink((slash == std::string::npos ? std::string(entry->d_name) : folder + entry->d_name).c_str());
        }
    }
    closedir(listing);
}

}  // namespace soil_climate::temporary_files
