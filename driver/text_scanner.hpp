#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

namespace soil_climate {

// Reads white-space-separated words from an input file in one pass. White space is what
// the C library calls so (blanks, tabs, line ends including CR), so records may be broken
// into lines at will and Windows line ends read like any others. A UTF-8 byte-order mark
// at the start of the file, as spreadsheet exports write it, is skipped.
class text_scanner {
public:
    explicit text_scanner(std::FILE* file);

    // Skips white space; true when the end of the file follows.
    bool at_end();

    // Skips white space and reads the next word; false at the end of the file.
    bool read_word(std::string& word);

    // Skips white space and reads the next single character; false at the end of the file.
    bool read_char(char& letter);

    // True once reading the file failed (as opposed to reaching its end).
    bool failed() const { return failed_; }

private:
    static constexpr int end_of_file = -1;

    int peek();
    void refill();

    std::FILE* file_;
    std::array<unsigned char, 65536> buffer_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    bool failed_ = false;
};

}  // namespace soil_climate
