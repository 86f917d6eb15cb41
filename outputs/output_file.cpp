#include "outputs/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "outputs/temporary_files.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

constexpr std::size_t buffer_size = 65536;

}  // namespace

bool write_all(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

output_file::output_file(std::string name, const std::string& file_prefix, const char* open_failure_message,
                         const char* named, writes mode, folder_check check)
    : name_(std::move(name)), open_failure_message_(open_failure_message), named_(named), mode_(mode) {
    if (check == folder_check::first) {
        check_renamable();
    }
    tracked_ = temporary_files::track_new_name(file_prefix, temporary_name_);
    descriptor_ = open(temporary_name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
        temporary_files::untrack(tracked_);
        tracked_ = -1;
        throw run_failure(open_failure_message_);
    }
    if (mode_ == writes::buffered) {
        buffer_.reserve(buffer_size);
    }
}

output_file::output_file(output_file&& other) noexcept
    : name_(std::move(other.name_)),
      temporary_name_(std::move(other.temporary_name_)),
      open_failure_message_(other.open_failure_message_),
      named_(other.named_),
      buffer_(std::move(other.buffer_)),
      descriptor_(std::exchange(other.descriptor_, -1)),
      tracked_(std::exchange(other.tracked_, -1)),
      mode_(other.mode_) {}

output_file::~output_file() {
    discard();
}

void output_file::discard() {
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    if (tracked_ >= 0) {
        unlink(temporary_name_.c_str());
        temporary_files::untrack(tracked_);
        tracked_ = -1;
    }
}

void output_file::fail(const std::string& message) {
    discard();
    throw run_failure(message);
}

void output_file::fail_to_write() {
    fail("Output file " + (named_ != nullptr ? std::string(named_) : name_) + " writing failed.");
}

void output_file::write(std::string_view text) {
    if (mode_ == writes::whole) {
        if (!write_all(descriptor_, text)) {
            fail_to_write();
        }
        return;
    }
    buffer_.append(text);
    if (buffer_.size() >= buffer_size) {
        if (!write_all(descriptor_, buffer_)) {
            fail_to_write();
        }
        buffer_.clear();
    }
}

void output_file::commit() {
    finish();
    rename_into_place();
}

void output_file::finish() {
    if (!write_all(descriptor_, buffer_) || close(std::exchange(descriptor_, -1)) != 0) {
        fail_to_write();
    }
}

void output_file::check_renamable() {
    struct stat standing {};
    if (lstat(name_.c_str(), &standing) == 0 && S_ISDIR(standing.st_mode)) {
        fail(open_failure_message_);
    }
}

void output_file::rename_into_place() {
    if (std::rename(temporary_name_.c_str(), name_.c_str()) != 0) {
        // A folder standing under the name: the file could never be created there.
        if (errno == EISDIR) {
            fail(open_failure_message_);
        }
        fail_to_write();
    }
    temporary_files::untrack(tracked_);
    tracked_ = -1;
}

void rename_together(std::span<output_file* const> files) {
    for (output_file* file : files) {
        file->check_renamable();
    }
    for (output_file* file : files) {
        file->rename_into_place();
    }
}

}  // namespace soil_climate
