#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace soil_climate {

// Tables as comma-separated values (RFC 4180): fields separated by commas, records by line
// ends, a field quoted when it holds a comma, a double quote or a line end, and a double
// quote inside a quoted field written twice.

// Appends one field, quoted where it must be.
void append_csv_field(std::string& text, std::string_view value);

// Appends one field quoted whatever it holds.
void append_csv_quoted(std::string& text, std::string_view value);

// Appends a number in the shortest form that reads back as exactly the same double.
void append_csv_number(std::string& text, double value);

// Reads the next record of `text` into `fields` and moves `text` past it (and past its
// line end, "\n" or "\r\n"). False at the end of the text, and for a record whose quotes
// do not close, which leaves `text` as it was.
bool read_csv_record(std::string_view& text, std::vector<std::string>& fields);

}  // namespace soil_climate
