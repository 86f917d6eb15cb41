#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/input_limits.hpp"

namespace soil_climate {

// Reads an input file as the formatted reads of the C library do: white space (blanks,
// tabs, line ends including CR) separates fields, so records may be broken into lines at
// will; a number ends where its text stops being a number, so glued fields such as
// "45.2-3.1" or "40.5N" read as two; a word ("%s") runs to the next white space. A UTF-8
// byte-order mark at the start of the file, as spreadsheet exports write it, is skipped.
//
// The scanner refuses what is not a text file of the model: a NUL byte anywhere it reads,
// and a word longer than `longest_word` bytes, which no label (a file name) or number
// reaches. Memory stays bounded whatever the file holds. Failures end the run with a
// message naming the file and the byte.
class text_scanner {
public:
    static constexpr std::size_t longest_word = longest_input_word;

    text_scanner(std::FILE* file, std::string file_name);

    // Skips white space; true when the end of the file follows.
    bool at_end();

    // Skips white space and reads the next word, or the rest of a word after a number
    // glued to it; false at the end of the file.
    bool read_word(std::string& word);

    // Skips white space and reads the next single character; false at the end of the file.
    bool read_char(char& letter);

    // The outcome of reading a number.
    enum class number_status { read, end_of_file, not_a_number };

    // Skips white space and reads a number as "%lf" does. `text` shows what was read, or
    // the word found where no number is (then nothing is consumed); it stays valid until
    // the next read.
    number_status read_number(double& value, std::string_view& text);

    // The rest of the current line, up to the line end (not read past it), without the
    // white space around it: text that a record leaves unread.
    std::string rest_of_line();

    // Reads to the end of the file, so that a NUL byte anywhere in it is refused.
    void skip_to_end();

    // Starts again from the first byte; false when the file cannot be read twice.
    bool rewind();

    // True once reading the file failed (as opposed to reaching its end).
    bool failed() const { return failed_; }

    const std::string& file_name() const { return file_name_; }

private:
    static constexpr int end_of_file = -1;

    // Reads the first bytes, past a byte-order mark.
    void start();
    int peek();
    void refill();
    // The word at the read position, made whole in the buffer; empty at the end of the file.
    std::string_view current_word();
    [[noreturn]] void refuse_nul() const;

    std::FILE* file_;
    std::string file_name_;
    std::array<char, 65536> buffer_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    std::size_t consumed_before_buffer_ = 0;  // bytes of the file before buffer_[0]
    bool at_file_end_ = false;
    bool failed_ = false;
};

// A word as a message shows it: unprintable bytes (controls, bytes that are not UTF-8)
// escaped as \xNN, and a long word cut after 60 bytes with "...".
std::string printable(std::string_view word, std::size_t shown = 60);

// The same, whole: for a year's label on the progress line.
inline std::string escaped(std::string_view word) {
    return printable(word, word.size());
}

}  // namespace soil_climate
