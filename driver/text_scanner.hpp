#pragma once

#include <cstdio>
#include <string>

namespace soil_climate {

// Reads white-space-separated words from an input file in one pass. White space is
// what the C library calls so (blanks, tabs, line ends including CR); records may be
// broken into lines at will.
class text_scanner {
public:
    explicit text_scanner(std::FILE* file) : file_(file) {}

    // Skips white space; true when the end of the file follows.
    bool at_end();

    // Skips white space and reads the next word; false at the end of the file.
    bool read_word(std::string& word);

    // Skips white space and reads the next single character; false at the end of the file.
    bool read_char(char& letter);

    // True once reading the file failed (as opposed to reaching its end).
    bool failed() const { return std::ferror(file_) != 0; }

private:
    std::FILE* file_;
};

}  // namespace soil_climate
