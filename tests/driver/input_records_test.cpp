#include "driver/input_records.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "driver/run_failure.hpp"

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

station_parameters parameters_from(const std::string& text) {
    memory_file file(text);
    text_scanner scanner(file.get());
    return read_station_parameters(scanner, "st_parameter");
}

std::string parameter_failure(const std::string& text) {
    try {
        parameters_from(text);
    } catch (const run_failure& failure) {
        return failure.what();
    }
    return "no failure";
}

TEST(ReadStationParameters, FieldsMaySpreadOverLinesAndOnlyTheFirstNameWordIsRead) {
    const station_parameters station = parameters_from("  40.5\r\n N\t4.0\n2.5 0.66\n-10 Fresno Airport\n");
    EXPECT_EQ(station.latitude, 40.5);
    EXPECT_EQ(station.hemisphere, earth_hemisphere::north);
    EXPECT_EQ(station.water_holding_capacity, 4.0 * 25.4);
    EXPECT_EQ(station.soil_temp_offset, 2.5);
    EXPECT_EQ(station.amplitude_factor, 0.66);
    EXPECT_EQ(station.phase_shift, -10.0);
    EXPECT_EQ(station.station_name, "Fresno");

    // The letter is the first character after the latitude, whatever follows it.
    EXPECT_EQ(parameters_from("33.9 S4 1 1 0 Perth").water_holding_capacity, 4.0 * 25.4);
    const std::string long_name(5000, 'x');
    EXPECT_EQ(parameters_from("10 N 4 1 1 0 " + long_name).station_name, long_name);
}

TEST(ReadStationParameters, BadRecordsNameTheFileAndField) {
    struct bad_record {
        const char* text;
        const char* message;
    };
    const bad_record cases[] = {
        {"", "st_parameter: the record ends before field latitude."},
        {"40.5 N 4.0 2.5 0.66 0", "st_parameter: the record ends before field station_name."},
        {"40.5", "st_parameter: the record ends before field hemisphere."},
        {"40.5 N 4,0 2.5 0.66 0 Davis", "st_parameter: field water_holding_capacity \"4,0\" is not a finite number."},
        {"NA N 4 2.5 0.66 0 Davis", "st_parameter: field latitude \"NA\" is not a finite number."},
        {"40 N 4 nan 0.66 0 Davis", "st_parameter: field soil_temp_offset \"nan\" is not a finite number."},
        {"40 N 4 2 inf 0 Davis", "st_parameter: field amplitude_factor \"inf\" is not a finite number."},
        {"40 N 4 2 1 1e999 Davis", "st_parameter: field phase_shift \"1e999\" is not a finite number."},
        {"40.5 n 4.0 2.5 0.66 0 Davis", "st_parameter: field hemisphere \"n\" is not N or S."},
        {"40.5 North 4.0 2.5 0.66 0 Davis",
         "st_parameter: field water_holding_capacity \"orth\" is not a finite number."},
        {"-33.9 S 4.0 2.5 0.66 0 Perth", "st_parameter: field latitude -33.9 is outside 0 to 90 degrees."},
        {"90.5 N 4.0 2.5 0.66 0 Pole", "st_parameter: field latitude 90.5 is outside 0 to 90 degrees."},
    };
    for (const bad_record& c : cases) {
        EXPECT_EQ(parameter_failure(c.text), c.message) << c.text;
    }
}

struct two_files {
    memory_file temperature;
    memory_file precipitation;
    text_scanner temperature_scanner{temperature.get()};
    text_scanner precipitation_scanner{precipitation.get()};
    run_files files = name_run_files("st_");

    two_files(std::string t, std::string p) : temperature(std::move(t)), precipitation(std::move(p)) {}

    std::string label;
    bool next(int year_number, year_inputs& year) {
        return read_year(temperature_scanner, precipitation_scanner, files, year_number, label, year);
    }
};

const char* twelve = " 32 212 -40 50 50 50 50 50 50 50 50 50";

TEST(ReadYear, ConvertsUnitsAndTakesThePrecipitationLabel) {
    two_files input(std::string("1961") + twelve + "\n1962\n1 2 3\n4 5 6 7 8 9 10 11 12\n\n  \n",
                    "P1961 1 0 0 0 0 0 0 0 0 0 0 0.5\nP1962 2 2 2 2 2 2 2 2 2 2 2 2\r\n");
    year_inputs year;
    ASSERT_TRUE(input.next(1, year));
    EXPECT_EQ(input.label, "P1961");
    EXPECT_EQ(year.monthly_temperature[0], 0.0);
    EXPECT_EQ(year.monthly_temperature[1], 100.0);
    EXPECT_EQ(year.monthly_temperature[2], -40.0);
    EXPECT_EQ(year.monthly_temperature[3], 10.0);
    EXPECT_EQ(year.monthly_precipitation[0], 25.4);
    EXPECT_EQ(year.monthly_precipitation[11], 0.5 * 25.4);

    ASSERT_TRUE(input.next(2, year));
    EXPECT_EQ(input.label, "P1962");
    EXPECT_EQ(year.monthly_temperature[11], fahrenheit_to_celsius(12.0));
    EXPECT_EQ(year.monthly_precipitation[5], 2.0 * 25.4);
    // White space after the last record adds no year.
    EXPECT_FALSE(input.next(3, year));
}

std::string year_failure(const std::string& temperature, const std::string& precipitation) {
    two_files input(temperature, precipitation);
    year_inputs year;
    try {
        for (int n = 1; input.next(n, year); ++n) {
        }
    } catch (const run_failure& failure) {
        return failure.what();
    }
    return "no failure";
}

const std::string good_rain = "1961 2 2 2 2 2 2 2 2 2 2 2 2\n";

TEST(ReadYear, BadRecordsNameTheFileRecordAndLabel) {
    const std::string good = std::string("1961") + twelve + "\n";
    EXPECT_EQ(year_failure(good + "1962 1 2 3\n", good_rain + good_rain),
              "st_monthly_T: record 2 (1962): the file ends after 3 of 12 values.");
    EXPECT_EQ(year_failure(good + "1962 1 2 3 4 NA 6 7 8 9 10 11 12\n", good_rain + good_rain),
              "st_monthly_T: record 2 (1962): May value \"NA\" is not a finite number.");
    EXPECT_EQ(year_failure(good, "1961 1 2 3 4 5 6 7 8 9 10 11 12,\n"),
              "st_monthly_P: record 1 (1961): December value \"12,\" is not a finite number.");
    EXPECT_EQ(year_failure(good + good + good, good_rain),
              "st_monthly_P: no record for year 2 (1961) of the temperature file.");
    EXPECT_EQ(year_failure(good, "P61 1 2 3 4 5 6 7 8 9 10 11"),
              "st_monthly_P: record 1 (P61): the file ends after 11 of 12 values.");
}

TEST(ReadYear, MissingValueCodesAndImpossibleValuesAreRefused) {
    const std::string good = std::string("1961") + twelve + "\n";
    EXPECT_EQ(year_failure("1961 40 -99.9 40 40 40 40 40 40 40 40 40 40\n", good),
              "st_monthly_T: record 1 (1961): February value \"-99.9\" is a missing-value code, not a measurement.");
    EXPECT_EQ(year_failure(good, "1961 1 1 1 1 1 1 1 1 1 1 1 -999\n"),
              "st_monthly_P: record 1 (1961): December value \"-999\" is a missing-value code, not a measurement.");
    EXPECT_EQ(year_failure(good, "1961 1 1 -0.01 1 1 1 1 1 1 1 1 1\n"),
              "st_monthly_P: record 1 (1961): March value \"-0.01\" lies outside 0 to 1000 inches.");
    EXPECT_EQ(year_failure("1961 1e300 40 40 40 40 40 40 40 40 40 40 40\n", good),
              "st_monthly_T: record 1 (1961): January value \"1e300\" lies outside -200 to 250 degrees F.");
    // A cold month that is no code is a measurement.
    EXPECT_EQ(year_failure("1961 -98.9 -60 40 40 40 40 40 40 40 40 40 40\n", good_rain), "no failure");
}

TEST(ParseFiniteNumber, AcceptsWholeNumbersOnly) {
    double value = 0.0;
    for (const char* text : {"12", "-3.5", "+1e2", ".5", "0x10"}) {
        EXPECT_TRUE(parse_finite_number(text, value)) << text;
    }
    for (const char* text : {"", "NA", "1.5.2", "12abc", "nan", "-inf", "1e400", "1,5"}) {
        EXPECT_FALSE(parse_finite_number(text, value)) << text;
    }
}

}  // namespace
}  // namespace soil_climate
