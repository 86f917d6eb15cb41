// Records read back as they were written, and the quoting rules at their edges.
#include "report/csv.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace soil_climate {
namespace {

TEST(CsvRecord, ReadsEachFormOfField) {
    struct record_case {
        const char* text;
        std::vector<std::string> fields;
        const char* rest;
    };
    const record_case cases[] = {
        {"a,b,c\nnext", {"a", "b", "c"}, "next"},
        {"a,,\n", {"a", "", ""}, ""},
        {"\"Davis, CA\",1\n", {"Davis, CA", "1"}, ""},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}, ""},
        {"\"two\nlines\",y\r\nz", {"two\nlines", "y"}, "z"},
        {"\"ends in\r\",y\n", {"ends in\r", "y"}, ""},
        {"last", {"last"}, ""},
    };
    for (const record_case& c : cases) {
        std::string_view text = c.text;
        std::vector<std::string> fields;
        ASSERT_TRUE(read_csv_record(text, fields)) << c.text;
        EXPECT_EQ(fields, c.fields) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
}

TEST(CsvRecord, AnUnclosedQuoteAndTheEndReadNothing) {
    std::vector<std::string> fields{"old"};
    std::string_view unclosed = "a,\"b\n";
    EXPECT_FALSE(read_csv_record(unclosed, fields));
    EXPECT_EQ(unclosed, "a,\"b\n");
    std::string_view empty;
    EXPECT_FALSE(read_csv_record(empty, fields));
    EXPECT_TRUE(fields.empty());
}

TEST(CsvRecord, WhatIsWrittenReadsBack) {
    const std::vector<std::string> fields{"plain", "", "comma,inside", "\"quoted\"", "line\nend", "cr\r", " blank "};
    std::string text;
    for (const std::string& field : fields) {
        append_csv_field(text, field);
        text += ',';
    }
    text.back() = '\n';
    std::string_view rest = text;
    std::vector<std::string> read;
    ASSERT_TRUE(read_csv_record(rest, read));
    EXPECT_EQ(read, fields);
    EXPECT_TRUE(rest.empty());
}

}  // namespace
}  // namespace soil_climate
