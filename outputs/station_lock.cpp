#include "outputs/station_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "outputs/temporary_files.hpp"
#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {

station_lock::station_lock(const std::string& file_prefix, const std::string& temperature_file)
    : name_(file_prefix + std::string(lock_file_suffix)) {
    while (true) {
        descriptor_ = open(name_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (descriptor_ < 0) {
            // A folder where no file can be made: the run cannot write its outputs there
            // either, and the first of them says so with its own message.
            return;
        }
        if (flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(std::exchange(descriptor_, -1));
            if (error == EWOULDBLOCK) {
                throw run_failure(temperature_file +
                                  ": another run_station is running on this station's files; wait until it has "
                                  "ended.");
            }
            return;
        }
        // The run that held the lock before may have removed the file after this one
        // opened it: the lock counts only on the file that still stands under the name.
        struct stat held {};
        struct stat standing {};
        if (fstat(descriptor_, &held) == 0 && lstat(name_.c_str(), &standing) == 0 && held.st_dev == standing.st_dev &&
            held.st_ino == standing.st_ino) {
            break;
        }
        close(std::exchange(descriptor_, -1));
    }
    tracked_ = temporary_files::track_name(name_);
}

station_lock::~station_lock() {
    if (descriptor_ >= 0) {
        // Removed while still held, so that no other run can lock the file being removed.
        unlink(name_.c_str());
        close(descriptor_);
    }
    if (tracked_ >= 0) {
        temporary_files::untrack(tracked_);
    }
}

}  // namespace soil_climate
