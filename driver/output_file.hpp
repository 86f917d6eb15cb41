#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace soil_climate {

// An output text file, created or emptied when opened. Every write and the close are
// checked: a failure ends the run with the file's own message instead of passing for
// success. A file still open when the run ends early is closed with what it holds.
class output_file {
public:
    // How the file is written: a piece at a time through the C library's buffer, or whole
    // in one write (the buffer would only copy it once more).
    enum class writes { buffered, whole };

    // Creates the file; a failure ends the run with `open_failure_message`.
    output_file(const std::string& name, std::string open_failure_message, std::string write_failure_message,
                writes mode = writes::buffered);
    ~output_file();
    output_file(output_file&& other) noexcept;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    output_file& operator=(output_file&&) = delete;

    void write(std::string_view text);

    // Closes the file; a failure to write out what it holds ends the run.
    void close();

private:
    std::FILE* file_;
    std::string write_failure_message_;
};

}  // namespace soil_climate
