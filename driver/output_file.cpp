#include "driver/output_file.hpp"

#include <utility>

#include "driver/run_failure.hpp"

namespace soil_climate {

output_file::output_file(const std::string& name, std::string open_failure_message,
                         std::string write_failure_message, writes mode)
    : file_(std::fopen(name.c_str(), "w")), write_failure_message_(std::move(write_failure_message)) {
    if (file_ == nullptr) {
        throw run_failure(open_failure_message);
    }
    if (mode == writes::whole) {
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }
}

output_file::output_file(output_file&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), write_failure_message_(std::move(other.write_failure_message_)) {}

output_file::~output_file() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void output_file::write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        throw run_failure(write_failure_message_);
    }
}

void output_file::close() {
    std::FILE* file = file_;
    file_ = nullptr;
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        throw run_failure(write_failure_message_);
    }
}

}  // namespace soil_climate
