#include "report/year_table.hpp"

#include "report/csv.hpp"
#include "report/text_format.hpp"

namespace soil_climate {

void append_year_table_header(std::string& text) {
    for (const year_field& field : year_fields) {
        if (&field != &year_fields.front()) {
            text += ',';
        }
        text += field.name;
    }
    text += '\n';
}

namespace {

// One field's value as the table writes it.
void append_year_table_cell(std::string& text, const year_field& field, const station_year& row) {
    const field_value value = field.read(row);
    switch (field.kind) {
        case field_kind::text:
        case field_kind::category:
            append_csv_field(text, value.text);
            break;
        case field_kind::number:
            append_csv_number(text, value.number);
            break;
        case field_kind::count:
            append_integer(text, static_cast<int>(value.number), 0);
            break;
    }
}

}  // namespace

void append_year_table_row(std::string& text, const station_year& row) {
    for (const year_field& field : year_fields) {
        if (&field != &year_fields.front()) {
            text += ',';
        }
        append_year_table_cell(text, field, row);
    }
    text += '\n';
}

}  // namespace soil_climate
