#include "driver/text_scanner.hpp"

#include <cctype>

namespace soil_climate {

bool text_scanner::at_end() {
    int c = std::getc(file_);
    while (c != EOF && std::isspace(c)) {
        c = std::getc(file_);
    }
    if (c == EOF) {
        return true;
    }
    std::ungetc(c, file_);
    return false;
}

bool text_scanner::read_word(std::string& word) {
    word.clear();
    if (at_end()) {
        return false;
    }
    int c = std::getc(file_);
    while (c != EOF && !std::isspace(c)) {
        word.push_back(static_cast<char>(c));
        c = std::getc(file_);
    }
    return true;
}

bool text_scanner::read_char(char& letter) {
    if (at_end()) {
        return false;
    }
    letter = static_cast<char>(std::getc(file_));
    return true;
}

}  // namespace soil_climate
