#include "inputs/text_scanner.hpp"

#include <cstring>
#include <utility>

#include "inputs/number_text.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The length of the UTF-8 sequence that starts `text`, or 0 when it is not valid UTF-8.
std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string printable(std::string_view word, std::size_t shown) {
    std::string text;
    std::size_t i = 0;
    while (i < word.size() && i < shown) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
            ++i;
        } else if (const std::size_t length = c >= 0x80 ? utf8_length(word.substr(i)) : 0; length > 0) {
            text.append(word.substr(i, length));
            i += length;
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            text += "\\x";
            text += hex[c >> 4];
            text += hex[c & 0x0F];
            ++i;
        }
    }
    if (i < word.size()) {
        text += "...";
    }
    return text;
}

text_scanner::text_scanner(std::FILE* file, std::string file_name) : file_(file), file_name_(std::move(file_name)) {
    start();
}

void text_scanner::start() {
    refill();
    if (filled_ >= 3 && buffer_[0] == '\xEF' && buffer_[1] == '\xBB' && buffer_[2] == '\xBF') {
        next_ = 3;
    }
}

void text_scanner::refill() {
    // Keeps the bytes not yet read at the front, so a word never straddles the refill.
    consumed_before_buffer_ += next_;
    const std::size_t kept = filled_ - next_;
    std::memmove(buffer_.data(), buffer_.data() + next_, kept);
    next_ = 0;
    filled_ = kept;
    if (at_file_end_ || failed_) {
        return;
    }
    const std::size_t read = std::fread(buffer_.data() + kept, 1, buffer_.size() - kept, file_);
    filled_ += read;
    if (read < buffer_.size() - kept) {
        if (std::ferror(file_) != 0) {
            failed_ = true;
        }
        at_file_end_ = true;
    }
}

int text_scanner::peek() {
    if (next_ == filled_) {
        refill();
        if (filled_ == 0) {
            return end_of_file;
        }
    }
    return static_cast<unsigned char>(buffer_[next_]);
}

void text_scanner::refuse_nul() const {
    throw run_failure(file_name_ + ": byte " + std::to_string(consumed_before_buffer_ + next_ + 1) +
                      " is a NUL byte; the file is not a text file.");
}

bool text_scanner::at_end() {
    for (int c = peek(); c != end_of_file; c = peek()) {
        if (c == 0) {
            refuse_nul();
        }
        if (!is_space(c)) {
            return false;
        }
        ++next_;
    }
    return true;
}

std::string_view text_scanner::current_word() {
    if (at_end()) {
        return {};
    }
    std::size_t end = next_;
    while (true) {
        while (end < filled_ && !is_space(static_cast<unsigned char>(buffer_[end]))) {
            if (buffer_[end] == '\0') {
                next_ = end;
                refuse_nul();
            }
            ++end;
        }
        if (end - next_ > longest_word) {
            throw run_failure(file_name_ + ": byte " + std::to_string(consumed_before_buffer_ + next_ + 1) +
                              " starts a word longer than " + std::to_string(longest_word) + " bytes (\"" +
                              printable(std::string_view(buffer_.data() + next_, end - next_)) +
                              "\"); no label or number is that long.");
        }
        if (end < filled_ || at_file_end_ || failed_) {
            return std::string_view(buffer_.data() + next_, end - next_);
        }
        end -= next_;
        refill();
    }
}

bool text_scanner::read_word(std::string& word) {
    const std::string_view found = current_word();
    word.assign(found);
    next_ += found.size();
    return !found.empty();
}

bool text_scanner::read_char(char& letter) {
    const std::string_view found = current_word();
    if (found.empty()) {
        return false;
    }
    letter = found.front();
    ++next_;
    return true;
}

text_scanner::number_status text_scanner::read_number(double& value, std::string_view& text) {
    if (at_end()) {
        return number_status::end_of_file;
    }
    // The common case, a number followed by white space, is read straight from the
    // buffer; a number is never longer than a word, so the buffer holds it whole.
    if (filled_ - next_ <= longest_word && !at_file_end_) {
        refill();
    }
    const std::string_view available(buffer_.data() + next_, filled_ - next_);
    const leading_number direct = read_leading_number(available);
    if (direct.length > 0 && direct.length <= longest_word && (direct.length < available.size() || at_file_end_)) {
        value = direct.value;
        text = available.substr(0, direct.length);
        next_ += direct.length;
        return number_status::read;
    }
    // What is no number here, or is longer than any word may be, is judged by its word.
    const std::string_view found = current_word();
    if (found.empty()) {
        return number_status::end_of_file;
    }
    const leading_number number = read_leading_number(found);
    if (number.length == 0) {
        text = found;
        return number_status::not_a_number;
    }
    value = number.value;
    text = found.substr(0, number.length);
    next_ += number.length;
    return number_status::read;
}

std::string text_scanner::rest_of_line() {
    std::string rest;
    for (int c = peek(); c != end_of_file && c != '\n'; c = peek()) {
        if (c == 0) {
            refuse_nul();
        }
        if (rest.size() < longest_word) {
            rest += static_cast<char>(c);
        }
        ++next_;
    }
    const std::size_t first = rest.find_first_not_of(" \t\r\v\f");
    if (first == std::string::npos) {
        return {};
    }
    return rest.substr(first, rest.find_last_not_of(" \t\r\v\f") - first + 1);
}

void text_scanner::skip_to_end() {
    for (int c = peek(); c != end_of_file; c = peek()) {
        const void* nul = std::memchr(buffer_.data() + next_, '\0', filled_ - next_);
        if (nul != nullptr) {
            next_ = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer_.data());
            refuse_nul();
        }
        next_ = filled_;
    }
}

bool text_scanner::rewind() {
    if (std::fseek(file_, 0, SEEK_SET) != 0) {
        return false;
    }
    std::clearerr(file_);
    next_ = filled_ = consumed_before_buffer_ = 0;
    at_file_end_ = failed_ = false;
    start();
    return true;
}

}  // namespace soil_climate
