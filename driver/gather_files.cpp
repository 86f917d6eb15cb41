#include "driver/gather_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "inputs/fingerprint.hpp"
#include "outputs/output_file.hpp"
#include "outputs/temporary_files.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate::gather {

std::string size_words(std::size_t bytes) {
    return bytes >= (std::size_t{1} << 30)   ? std::to_string(bytes >> 30) + " GiB"
           : bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MiB"
           : bytes >= 1024                   ? std::to_string(bytes >> 10) + " KiB"
                                             : std::to_string(bytes) + " bytes";
}

namespace {

// Opens a file for reading only when it is a regular file: a FIFO is opened without
// waiting for a writer and then refused, as are folders and devices.
int open_regular(const std::string& name, file_text& result, struct stat& status) {
    int descriptor = -1;
    do {
        descriptor = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        if (errno != ENOENT) {
            result.fault = std::string("cannot be read: ") + std::strerror(errno);
        }
        return -1;
    }
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.fault = "is not a regular file";
        close(descriptor);
        return -1;
    }
    return descriptor;
}

// Reads from `descriptor` up to its end, failing once the text would pass `limit`.
void read_to_end(int descriptor, std::size_t limit, file_text& result) {
    std::string bytes;
    char chunk[65536];
    while (true) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.fault = std::string("cannot be read: ") + std::strerror(errno);
            break;
        }
        if (got == 0) {
            result.bytes = std::move(bytes);
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(got) > limit) {
            result.fault = "holds more than " + size_words(limit);
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    if (close(descriptor) != 0 && result.fault.empty()) {
        result.fault = std::string("cannot be read: ") + std::strerror(errno);
        result.bytes.reset();
    }
}

}  // namespace

file_text read_bounded(const std::string& name, std::size_t limit) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        close(descriptor);
        result.fault = "holds more than " + size_words(limit);
        return result;
    }
    read_to_end(descriptor, limit, result);
    return result;
}

// The last `limit` bytes of a file (a run's output, which may be long).
file_text read_tail(const std::string& name, std::size_t limit) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size > limit && lseek(descriptor, static_cast<off_t>(size - limit), SEEK_SET) < 0) {
        close(descriptor);
        result.fault = std::string("cannot be read: ") + std::strerror(errno);
        return result;
    }
    read_to_end(descriptor, limit, result);
    return result;
}

// The first `count` bytes of a file, or all of a shorter one.
file_text read_head(const std::string& name, std::size_t count) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t part = read(descriptor, bytes.data() + got, count - got);
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part <= 0) {
            break;
        }
        got += static_cast<std::size_t>(part);
    }
    close(descriptor);
    bytes.resize(got);
    result.bytes = std::move(bytes);
    return result;
}

// Writes a small file of the logs whole: under a temporary name beside it, then renamed
// over it, so that a record is never half written. The error in words, or "".
std::string write_log_file(const std::string& name, std::string_view text) {
    const std::string temporary = name + ".writing";
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return std::strerror(errno);
    }
    const bool written = write_all(descriptor, text);
    const int write_error = errno;
    const bool closed = close(descriptor) == 0;
    std::string fault;
    if (!written || !closed) {
        fault = std::strerror(written ? errno : write_error);
    } else if (std::rename(temporary.c_str(), name.c_str()) != 0) {
        fault = std::strerror(errno);
    }
    if (!fault.empty()) {
        std::remove(temporary.c_str());
    }
    return fault;
}

// Removes a log entry, whatever stands under its name (a damaged entry may be a folder).
// The error in words, or "".
std::string remove_log_entry(const std::string& name) {
    std::error_code failure;
    std::filesystem::remove_all(name, failure);
    return failure ? failure.message() : "";
}

// Reads one NUL-ended field of the list of stations. False at the end of the list; a
// field that the list ends inside of, or longer than any path, is a damaged list.
bool read_list_field(std::istream& in, std::string& field) {
    field.clear();
    std::streambuf* buffer = in.rdbuf();
    for (int c = buffer->sbumpc(); c != '\0'; c = buffer->sbumpc()) {
        if (c == std::char_traits<char>::eof()) {
            if (field.empty()) {
                return false;
            }
            throw run_failure("The list of stations is cut short.");
        }
        if (field.size() == longest_list_field) {
            throw run_failure("The list of stations holds a field longer than " + size_words(longest_list_field) + ".");
        }
        field.push_back(static_cast<char>(c));
    }
    return true;
}

// The list of stations, four fields each. A list cut short or empty is refused: the
// tables made from it would silently lack stations.
std::vector<station_listed> read_station_list(std::istream& in, const std::string& logs) {
    std::vector<station_listed> stations;
    station_listed station;
    while (read_list_field(in, station.given)) {
        if (!read_list_field(in, station.folder) || !read_list_field(in, station.key) ||
            !read_list_field(in, station.outputs)) {
            throw run_failure("The list of stations is cut short.");
        }
        if (!station.folder.starts_with('/') || station.key.empty() || station.outputs.empty()) {
            throw run_failure("The list of stations is damaged at station " + std::to_string(stations.size() + 1) +
                              ".");
        }
        station.log = logs + "/" + station.key;
        stations.push_back(station);
    }
    if (stations.empty()) {
        throw run_failure("The list of stations holds no station.");
    }
    return stations;
}

// How a station's run ended: "exit N" from its status file, else "not run".
std::string run_status(const station_listed& station) {
    const file_text text = read_bounded(station.log + ".status", largest_status);
    if (!text.bytes || text.bytes->empty()) {
        return "not run";
    }
    return "exit " + text.bytes->substr(0, text.bytes->find('\n'));
}

// The last line that the station's run printed, or "no output".
std::string last_line(const station_listed& station) {
    file_text text = read_tail(station.log + ".out", last_line_tail);
    if (!text.bytes || text.bytes->empty()) {
        return "no output";
    }
    std::string& bytes = *text.bytes;
    if (bytes.back() == '\n') {
        bytes.pop_back();
    }
    return bytes.substr(bytes.rfind('\n') + 1);
}

std::string hex_of(std::uint64_t value, int digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return std::string(text + 16 - digits);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// A folder's name in the logs folder: its absolute path with "%" and "/" encoded, so that
// every folder has its own and the same folder always the same; a path too long for a
// file name keeps its first bytes and a hash of the whole.
std::string log_key_of(const std::string& folder) {
    std::string key;
    for (const char c : folder) {
        key += c == '%' ? "%25" : c == '/' ? "%2F" : std::string(1, c);
    }
    if (key.size() > 200) {
        fingerprint hash;
        hash.add(folder);
        key = key.substr(0, 120) + "~" + hex_of(hash.value(), 16);
    }
    return key;
}

}  // namespace soil_climate::gather
