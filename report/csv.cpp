#include "report/csv.hpp"

#include <algorithm>
#include <charconv>

namespace soil_climate {

void append_csv_field(std::string& text, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        text += value;
        return;
    }
    append_csv_quoted(text, value);
}

void append_csv_quoted(std::string& text, std::string_view value) {
    text += '"';
    for (const char c : value) {
        if (c == '"') {
            text += '"';
        }
        text += c;
    }
    text += '"';
}

void append_csv_number(std::string& text, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

bool read_csv_record(std::string_view& text, std::vector<std::string>& fields) {
    fields.clear();
    if (text.empty()) {
        return false;
    }
    std::size_t at = 0;
    while (true) {
        std::string& field = fields.emplace_back();
        if (at < text.size() && text[at] == '"') {
            // A quoted field: up to the quote that is not doubled.
            ++at;
            while (true) {
                const std::size_t quote = text.find('"', at);
                if (quote == std::string_view::npos) {
                    fields.clear();
                    return false;
                }
                field.append(text.substr(at, quote - at));
                at = quote + 1;
                if (at < text.size() && text[at] == '"') {
                    field += '"';
                    ++at;
                    continue;
                }
                break;
            }
        }
        const std::size_t end = std::min(text.find_first_of(",\n", at), text.size());
        std::string_view rest = text.substr(at, end - at);
        const bool record_ends = end == text.size() || text[end] == '\n';
        if (record_ends && rest.ends_with('\r')) {
            rest.remove_suffix(1);  // the "\r\n" line end
        }
        field.append(rest);
        if (!record_ends) {
            at = end + 1;
            continue;
        }
        text.remove_prefix(std::min(end + 1, text.size()));
        return true;
    }
}

}  // namespace soil_climate
