#include "driver/text_scanner.hpp"

#include <cctype>

namespace soil_climate {

text_scanner::text_scanner(std::FILE* file) : file_(file) {
    refill();
    if (filled_ >= 3 && buffer_[0] == 0xEF && buffer_[1] == 0xBB && buffer_[2] == 0xBF) {
        next_ = 3;
    }
}

void text_scanner::refill() {
    next_ = 0;
    filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (filled_ < buffer_.size() && std::ferror(file_) != 0) {
        failed_ = true;
    }
}

int text_scanner::peek() {
    if (next_ == filled_) {
        if (filled_ < buffer_.size() && (std::feof(file_) != 0 || failed_)) {
            return end_of_file;
        }
        refill();
        if (filled_ == 0) {
            return end_of_file;
        }
    }
    return buffer_[next_];
}

bool text_scanner::at_end() {
    int c = peek();
    while (c != end_of_file && std::isspace(c)) {
        ++next_;
        c = peek();
    }
    return c == end_of_file;
}

bool text_scanner::read_word(std::string& word) {
    word.clear();
    if (at_end()) {
        return false;
    }
    for (int c = peek(); c != end_of_file && !std::isspace(c); c = peek()) {
        word.push_back(static_cast<char>(c));
        ++next_;
    }
    return true;
}

bool text_scanner::read_char(char& letter) {
    if (at_end()) {
        return false;
    }
    letter = static_cast<char>(buffer_[next_++]);
    return true;
}

}  // namespace soil_climate
