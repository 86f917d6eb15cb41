#pragma once

#include <cstdio>
#include <string>

namespace soil_climate {

// An input file of the run, open for reading.
class input_file {
public:
    // Opens the file. A failure prints the system's reason with the full file name (and
    // `hint`, if any) on standard error and ends the run with `failure_message`.
    input_file(const std::string& name, const char* failure_message, const std::string& hint = "");
    ~input_file();
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;

    std::FILE* get() const { return file_; }

    // Makes the file readable a second time: a file that cannot seek back (a named pipe)
    // is read whole into memory, and read from there.
    void make_rereadable(const std::string& name);

private:
    std::FILE* file_ = nullptr;
    std::string held_;  // the bytes of a file that cannot be read twice
};

}  // namespace soil_climate
