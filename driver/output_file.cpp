#include "driver/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "driver/run_failure.hpp"
#include "driver/temporary_files.hpp"

namespace soil_climate {
namespace {

constexpr std::size_t buffer_size = 65536;

}  // namespace

output_file::output_file(std::string name, const std::string& file_prefix, std::string open_failure_message,
                         std::string write_failure_message, writes mode, folder_check check)
    : name_(std::move(name)),
      open_failure_message_(std::move(open_failure_message)),
      write_failure_message_(std::move(write_failure_message)),
      mode_(mode) {
    struct stat standing {};
    if (check == folder_check::first && lstat(name_.c_str(), &standing) == 0 && S_ISDIR(standing.st_mode)) {
        throw run_failure(open_failure_message_);
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
      open_failure_message_(std::move(other.open_failure_message_)),
      write_failure_message_(std::move(other.write_failure_message_)),
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

void output_file::write(std::string_view text) {
    if (mode_ == writes::buffered) {
        buffer_.append(text);
        if (buffer_.size() >= buffer_size) {
            flush();
        }
        return;
    }
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor_, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            fail(write_failure_message_);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void output_file::flush() {
    const std::string pending = std::move(buffer_);
    buffer_.clear();
    buffer_.reserve(buffer_size);
    mode_ = writes::whole;
    write(pending);
    mode_ = writes::buffered;
}

void output_file::commit() {
    if (mode_ == writes::buffered && !buffer_.empty()) {
        flush();
    }
    if (close(std::exchange(descriptor_, -1)) != 0) {
        fail(write_failure_message_);
    }
    if (std::rename(temporary_name_.c_str(), name_.c_str()) != 0) {
        // A folder standing under the name: the file could never be created there.
        fail(errno == EISDIR ? open_failure_message_ : write_failure_message_);
    }
    temporary_files::untrack(tracked_);
    tracked_ = -1;
}

}  // namespace soil_climate
