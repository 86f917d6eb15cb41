#include "inputs/input_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "inputs/text_scanner.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

// The most a file that cannot be read twice may hold: far more than any station's record.
constexpr std::size_t largest_held_file = std::size_t{1} << 30;

}  // namespace

input_file::input_file(const std::string& name, const char* failure_message, const std::string& hint)
    : file_(std::fopen(name.c_str(), "r")) {
    if (file_ == nullptr) {
        throw run_failure(failure_message, "run_station: cannot open " + printable(name) + ": " +
                                               std::strerror(errno) + hint);
    }
}

input_file::~input_file() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void input_file::make_rereadable(const std::string& name) {
    struct stat status {};
    if (fstat(fileno(file_), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) {
        return;  // a regular file seeks back; a folder fails to read with its own message
    }
    char chunk[65536];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file_)) > 0) {
        if (const void* nul = std::memchr(chunk, '\0', read)) {
            const std::size_t at = held_.size() + static_cast<std::size_t>(static_cast<const char*>(nul) - chunk);
            throw run_failure(name + ": byte " + std::to_string(at + 1) + " is a NUL byte; the file is not a text file.");
        }
        if (held_.size() + read > largest_held_file) {
            throw run_failure(name + ": the file cannot be read twice and holds more than 1 GiB.");
        }
        held_.append(chunk, read);
    }
    std::fclose(file_);
    // fmemopen cannot serve an empty buffer: an empty file reads as one blank.
    if (held_.empty()) {
        held_.push_back(' ');
    }
    file_ = fmemopen(held_.data(), held_.size(), "r");
    if (file_ == nullptr) {
        throw run_failure(name + ": the file cannot be read.");
    }
}

}  // namespace soil_climate
