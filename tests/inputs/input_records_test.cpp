#include "inputs/input_records.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "inputs/number_text.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

// An input file held in memory.
struct memory_file {
    explicit memory_file(std::string text) : text_(std::move(text)) {
        file_ = fmemopen(text_.data(), text_.size(), "r");
    }
    ~memory_file() { std::fclose(file_); }
    std::FILE* get() const { return file_; }

private:
    std::string text_;
    std::FILE* file_;
};

template <typename Read>
std::string failure_of(Read&& read) {
    try {
        read();
    } catch (const run_failure& failure) {
        return failure.what();
    }
    return "no failure";
}

// The formatted read itself is the reference: whatever "%lf" reads completely, the
// reader must read alike, to the same character and the same bits.
TEST(ReadLeadingNumber, TakesWhatTheFormattedReadTakes) {
    const char* samples[] = {"12",   "-3.5",  "+1e2",  ".5",    "1.",     "0x10",   "0x1p3", "0x.8", "0x.",
                             "46,",  "45.2-3.1", "12.5.5", "40.5N", "100ergs", "1e+x", "1e", "1E+5x", "00x1",
                             "1.e3", "NA",    ",",     ".",     "-",      "+.",     ".e3",   "0x",   "0xg",
                             "--5",  "1e400", "-1e-400", "0X1P-2", "7e-3,8", "9.99e2z"};
    std::mt19937 random(1207);
    const std::string alphabet = "0123456789.eE+-xXpPa,N ";
    std::vector<std::string> texts(std::begin(samples), std::end(samples));
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        for (int n = random() % 9; n >= 0; --n) {
            text += alphabet[random() % alphabet.size()];
        }
        texts.push_back(text.substr(0, text.find(' ')));  // a word: no white space inside
        // A plain decimal of up to 18 digits, as records hold them, on both sides of the
        // 15 digits that convert without rounding twice.
        std::string digits;
        for (int n = random() % 18; n >= 0; --n) {
            digits += static_cast<char>('0' + random() % 10);
        }
        digits.insert(random() % (digits.size() + 1), random() % 4 == 0 ? "" : ".");
        texts.push_back((random() % 2 == 0 ? "-" : "") + digits);
    }
    for (const std::string& text : texts) {
        double expected = 0.0;
        int taken = 0;
        const bool read = std::sscanf(text.c_str(), "%lf%n", &expected, &taken) == 1 && std::isfinite(expected);
        const leading_number number = read_leading_number(text);
        ASSERT_EQ(number.length, read ? static_cast<std::size_t>(taken) : 0u) << '"' << text << '"';
        if (read) {
            ASSERT_EQ(std::signbit(number.value), std::signbit(expected)) << text;
            ASSERT_EQ(number.value, expected) << text;
        }
    }
}

TEST(ParseWholeNumber, BlanksAroundButNothingElse) {
    double value = 0.0;
    for (const char* text : {"150", "150.5", "1e2", "+120", ".75e2", "-0", " 75", "75 \t"}) {
        EXPECT_TRUE(parse_whole_number(text, value)) << text;
    }
    EXPECT_TRUE(parse_whole_number("-0", value) && std::signbit(value));
    for (const char* text : {"", " ", "abc", "-h", "6in", "1,5", "inf", "nan", "1e999", "75 80", "1e", "1e+", "150e-"}) {
        EXPECT_FALSE(parse_whole_number(text, value)) << text;
    }
}

station_parameters parameters_from(const std::string& text, warning_list& warnings) {
    memory_file file(text);
    text_scanner scanner(file.get(), "st_parameter");
    return read_station_parameters(scanner, warnings);
}

station_parameters parameters_from(const std::string& text) {
    warning_list warnings;
    return parameters_from(text, warnings);
}

TEST(ReadStationParameters, FieldsMaySpreadOverLinesOrBeGlued) {
    const station_parameters station = parameters_from("  40.5\r\n N\t4.0\n2.5 0.66\n-10 Fresno\n");
    EXPECT_EQ(station.latitude, 40.5);
    EXPECT_EQ(station.hemisphere, earth_hemisphere::north);
    EXPECT_EQ(station.water_holding_capacity, 4.0 * 25.4);
    EXPECT_EQ(station.soil_temp_offset, 2.5);
    EXPECT_EQ(station.amplitude_factor, 0.66);
    EXPECT_EQ(station.phase_shift, -10.0);
    EXPECT_EQ(station.station_name, "Fresno");

    // The letter is the first character after the latitude, whatever follows it.
    const station_parameters glued = parameters_from("40.5N 4.0 2.5 0.66 0 Davis");
    EXPECT_EQ(glued.latitude, 40.5);
    EXPECT_EQ(glued.hemisphere, earth_hemisphere::north);
    EXPECT_EQ(parameters_from("33.9 S4 1 1 90 Perth").water_holding_capacity, 4.0 * 25.4);
    const std::string long_name(4000, 'x');
    EXPECT_EQ(parameters_from("10 N 4 1 1 0 " + long_name).station_name, long_name);
}

TEST(ReadStationParameters, WarningsForWhatIsValidButProbablyAMistake) {
    warning_list warnings;
    EXPECT_EQ(parameters_from("40 N 4 2.5 0.66 0 Fresno Airport\n", warnings).station_name, "Fresno");
    EXPECT_EQ(parameters_from("33.9 S 4 2.5 0.66 0 Perth\n", warnings).station_name, "Perth");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0],
              "st_parameter: the text after the station name, \"Airport\", is not read; the station is named "
              "\"Fresno\" (a name is one word: join its words with underscores).");
    EXPECT_NE(warnings[1].find("st_parameter: a southern station (S) with phase_shift 0"), std::string::npos);

    // Text on the following lines is not part of the record's line.
    warnings.clear();
    parameters_from("40 N 4 2.5 0.66 0 Fresno\n# written 2024\n", warnings);
    parameters_from("33.9 S 4 2.5 0.66 90 Perth\n", warnings);
    EXPECT_TRUE(warnings.empty());
}

TEST(ReadStationParameters, BadRecordsNameTheFileAndField) {
    struct bad_record {
        std::string text;
        std::string message;
    };
    const bad_record cases[] = {
        {"", "st_parameter: the record ends before field latitude."},
        {"40.5 N 4.0 2.5 0.66 0", "st_parameter: the record ends before field station_name."},
        {"40.5", "st_parameter: the record ends before field hemisphere."},
        {"40.5 N 4,0 2.5 0.66 0 Davis", "st_parameter: field soil_temp_offset \",0\" is not a finite number."},
        {"NA N 4 2.5 0.66 0 Davis", "st_parameter: field latitude \"NA\" is not a finite number."},
        {"40 N 4 nan 0.66 0 Davis", "st_parameter: field soil_temp_offset \"nan\" is not a finite number."},
        {"40 N 4 2 inf 0 Davis", "st_parameter: field amplitude_factor \"inf\" is not a finite number."},
        {"40 N 4 2 1 1e999 Davis", "st_parameter: field phase_shift \"1e999\" is not a finite number."},
        {"40.5 n 4.0 2.5 0.66 0 Davis", "st_parameter: field hemisphere \"n\" is not N or S."},
        {"40.5 North 4.0 2.5 0.66 0 Davis",
         "st_parameter: field water_holding_capacity \"orth\" is not a finite number."},
        {"-33.9 S 4.0 2.5 0.66 0 Perth", "st_parameter: field latitude -33.9 is outside 0 to 90 degrees."},
        {"90.5 N 4.0 2.5 0.66 0 Pole", "st_parameter: field latitude 90.5 is outside 0 to 90 degrees."},
        {"40 N 4 1e308 0.66 0 Davis", "st_parameter: field soil_temp_offset 1e+308 is outside -30 to 30 degrees C."},
        {"40 N 4 2.5 1e308 0 Davis",
         "st_parameter: field amplitude_factor 1e+308 is outside -3 to 3 (no unit)."},
        {"40 N 4 2.5 0.66 100001 Davis", "st_parameter: field phase_shift 100001 is outside -100000 to 100000 days."},
        {"40 N 4 2.5 0.66 0 Da" + std::string(1, '\0') + "vis",
         "st_parameter: byte 21 is a NUL byte; the file is not a text file."},
        {"40 N 4 2.5 0.66 0 " + std::string(5000, 'D'),
         "st_parameter: byte 19 starts a word longer than 4096 bytes (\"" + std::string(60, 'D') +
             "...\"); no label or number is that long."},
    };
    for (const bad_record& c : cases) {
        EXPECT_EQ(failure_of([&] { parameters_from(c.text); }), c.message) << c.text;
    }
}

struct two_files {
    memory_file temperature;
    memory_file precipitation;
    text_scanner temperature_scanner{temperature.get(), "st_monthly_T"};
    text_scanner precipitation_scanner{precipitation.get(), "st_monthly_P"};
    year_record year;

    two_files(std::string t, std::string p) : temperature(std::move(t)), precipitation(std::move(p)) {}

    bool next(int year_number) { return read_year(temperature_scanner, precipitation_scanner, year_number, year); }
};

const char* twelve = " 32 212 -40 50 50 50 50 50 50 50 50 50";

TEST(ReadYear, ConvertsUnitsAndTakesThePrecipitationLabel) {
    two_files input(std::string("1961") + twelve + "\n1962\n1 2 3\n4 5 6 7 8 9 10 11 12\n\n  \n",
                    "P1961 1 0 0 0 0 0 0 0 0 0 0 0.5\nP1962 2 2 2 2 2 2 2 2 2 2 2 2\r\n");
    ASSERT_TRUE(input.next(1));
    EXPECT_EQ(input.year.temperature_label, "1961");
    EXPECT_EQ(input.year.year_label, "P1961");
    const monthly_series& t = input.year.inputs.monthly_temperature;
    EXPECT_EQ(t[0], 0.0);
    EXPECT_EQ(t[1], 100.0);
    EXPECT_EQ(t[2], -40.0);
    EXPECT_EQ(t[3], 10.0);
    EXPECT_EQ(input.year.inputs.monthly_precipitation[0], 25.4);
    EXPECT_EQ(input.year.inputs.monthly_precipitation[11], 0.5 * 25.4);

    ASSERT_TRUE(input.next(2));
    EXPECT_EQ(input.year.year_label, "P1962");
    EXPECT_EQ(input.year.inputs.monthly_temperature[11], fahrenheit_to_celsius(12.0));
    // White space after the last record adds no year.
    EXPECT_FALSE(input.next(3));
}

TEST(ReadYear, GluedValuesReadAsTheFormattedReadReadsThem) {
    two_files glued("1961 45.2-3.1 12.5.5 40 40 40 40 40 40 40 40e\n1962 1 1 1 1 1 1 1 1 1 1 1 1\n",
                    "1961 1 1 1 1 1 1 1 1 1 1 1 1 1962 1 1 1 1 1 1 1 1 1 1 1 1\n");
    two_files spaced("1961 45.2 -3.1 12.5 .5 40 40 40 40 40 40 40 40\n1962 1 1 1 1 1 1 1 1 1 1 1 1\n",
                     "1961 1 1 1 1 1 1 1 1 1 1 1 1 1962 1 1 1 1 1 1 1 1 1 1 1 1\n");
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(glued.next(n));
        ASSERT_TRUE(spaced.next(n));
        EXPECT_EQ(glued.year.inputs.monthly_temperature, spaced.year.inputs.monthly_temperature) << n;
        EXPECT_EQ(glued.year.year_label, spaced.year.year_label);
    }
}

std::string year_failure(const std::string& temperature, const std::string& precipitation) {
    two_files input(temperature, precipitation);
    return failure_of([&] {
        for (int n = 1; input.next(n); ++n) {
        }
    });
}

const std::string good_rain = "1961 2 2 2 2 2 2 2 2 2 2 2 2\n";

TEST(ReadYear, BadRecordsNameTheFileRecordAndLabel) {
    const std::string good = std::string("1961") + twelve + "\n";
    struct bad_records {
        std::string t;
        std::string p;
        const char* message;
    };
    const bad_records cases[] = {
        {good + "1962 1 2 3\n", good_rain + good_rain,
         "st_monthly_T: record 2 (1962): the file ends after 3 of 12 values."},
        {good + "1962 1 2 3 4 NA 6 7 8 9 10 11 12\n", good_rain + good_rain,
         "st_monthly_T: record 2 (1962): May value \"NA\" is not a finite number."},
        {good, "1961 1 2 3 4 5 6 7 8 9 10 11,12\n",
         "st_monthly_P: record 1 (1961): December value \",12\" is not a finite number."},
        {good + good + good, good_rain, "st_monthly_P: no record for year 2 (1961) of the temperature file."},
        {good, "P61 1 2 3 4 5 6 7 8 9 10 11", "st_monthly_P: record 1 (P61): the file ends after 11 of 12 values."},
        {"1961 40 -99.9 40 40 40 40 40 40 40 40 40 40\n", good,
         "st_monthly_T: record 1 (1961): February value \"-99.9\" is a missing-value code, not a measurement."},
        {good, "1961 1 1 -0.01 1 1 1 1 1 1 1 1 1\n",
         "st_monthly_P: record 1 (1961): March value \"-0.01\" lies outside 0 to 1000 inches."},
        {"1961 1e300 40 40 40 40 40 40 40 40 40 40 40\n", good,
         "st_monthly_T: record 1 (1961): January value \"1e300\" lies outside -200 to 250 degrees F."},
        {"19\x01" "61 40 40\x1b 40 40 40 40 40 40 40 40 40 40\n", good,
         "st_monthly_T: record 1 (19\\x0161): March value \"\\x1B\" is not a finite number."},
    };
    for (const bad_records& c : cases) {
        EXPECT_EQ(year_failure(c.t, c.p), c.message) << c.t;
    }
    // A cold month that is no code is a measurement.
    EXPECT_EQ(year_failure("1961 -98.9 -60 40 40 40 40 40 40 40 40 40 40\n", good_rain), "no failure");
}

TEST(MissingValueCode, ByValueHoweverWritten) {
    for (const char* text : {"-99", "-99.0", "-99.00", "-99.", "-99.9", "-99.90", "-99.99", "-999", "-999.9",
                             "-9999", "-9.9e1", "-0099"}) {
        EXPECT_NE(year_failure(std::string("1961 ") + text + " 1 1 1 1 1 1 1 1 1 1 1\n", good_rain)
                      .find("is a missing-value code"),
                  std::string::npos)
            << text;
    }
    for (const double value : {-9.0, -98.9, -99.8, -990.0, 99.9, -100.0}) {
        EXPECT_FALSE(is_missing_value_code(value)) << value;
    }
}

TEST(CheckYearLabel, LabelsThatCannotNameTheReport) {
    struct label_case {
        std::string label;
        std::string prefix;
        const char* problem;  // nullptr: usable
    };
    const label_case cases[] = {
        {"1961", "", nullptr},
        {"summary", "", "the label is the name of one of the run's own files"},
        {"years.csv", "st_", "the label is the name of one of the run's own files"},
        {"a/b", "", "the label holds a path separator"},
        {"..", "", "the label names a folder"},
        {".run_station-1-2", "", "the label has the form of the run's temporary file names"},
        {std::string(255, 'L'), "data/", nullptr},
        {std::string(252, 'L'), "data/st_", nullptr},
        {std::string(253, 'L'), "data/st_", "the label is too long for a file name"},
    };
    for (const label_case& c : cases) {
        const std::string failure = failure_of([&] { check_year_label("P", 3, c.label, c.prefix); });
        if (c.problem == nullptr) {
            EXPECT_EQ(failure, "no failure") << c.label;
        } else {
            EXPECT_EQ(failure, "P: record 3 (" + printable(c.label) + "): " + c.problem +
                                   "; it cannot name the year's report.")
                << c.label;
        }
    }
}

}  // namespace
}  // namespace soil_climate
