#include "water_balance/water_balance.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace soil_climate {
namespace {

// Water in slant k (numbered 1 to 64).
double& slant(slant_array& profile, int k) {
    return profile[k - 1];
}

slant_array full_profile(double slant_capacity) {
    slant_array profile;
    profile.fill(slant_capacity);
    return profile;
}

TEST(DepletionOrder, RowOrderOnlyBelowOneHundredMillimetres) {
    EXPECT_TRUE(uses_row_order(99.99 / 64.0));
    EXPECT_TRUE(uses_row_order(0.0));
    EXPECT_FALSE(uses_row_order(100.0 / 64.0));
    EXPECT_FALSE(uses_row_order(200.0 / 64.0));
    EXPECT_EQ(&depletion_order(99.99 / 64.0), &row_order);
    EXPECT_EQ(&depletion_order(100.0 / 64.0), &diagonal_order);
}

TEST(DepletionOrder, BothOrdersVisitEverySlantOnceAndTheSectionInOrder) {
    for (const slant_order* order : {&diagonal_order, &row_order}) {
        std::array<int, slant_count + 1> seen{};
        int section_seen = 0;
        for (const int k : *order) {
            ++seen[k];
            if (k == moisture_control_section[section_seen] + 1) {
                ++section_seen;
            }
        }
        for (int k = 1; k <= slant_count; ++k) {
            EXPECT_EQ(seen[k], 1) << "slant " << k;
        }
        EXPECT_EQ(section_seen, 3);  // 9 before 17 before 25
    }
}

TEST(Accrete, FillsSlantsInOrderAndDropsWhatDoesNotFit) {
    slant_array profile{};
    accrete(profile, 2.5 * 4.0, 4.0);
    EXPECT_EQ(slant(profile, 1), 4.0);
    EXPECT_EQ(slant(profile, 2), 4.0);
    EXPECT_EQ(slant(profile, 3), 2.0);
    EXPECT_EQ(slant(profile, 4), 0.0);

    // An amount equal to the room of the first slant with room fills it exactly.
    accrete(profile, 2.0, 4.0);
    EXPECT_EQ(slant(profile, 3), 4.0);
    EXPECT_EQ(slant(profile, 4), 0.0);

    // A smaller amount stays wholly in the first slant with room.
    accrete(profile, 1.5, 4.0);
    EXPECT_EQ(slant(profile, 4), 1.5);
    EXPECT_EQ(slant(profile, 5), 0.0);

    slant_array overflowing{};
    accrete(overflowing, 1000.0, 4.0);
    EXPECT_EQ(overflowing, full_profile(4.0));
}

TEST(Accrete, NothingChangesWithoutAmountRoomOrCapacity) {
    slant_array profile{};
    slant(profile, 1) = 1.0;
    const slant_array before = profile;
    accrete(profile, 0.0, 4.0);
    accrete(profile, -3.0, 4.0);
    EXPECT_EQ(profile, before);

    slant_array full = full_profile(4.0);
    accrete(full, 50.0, 4.0);
    EXPECT_EQ(full, full_profile(4.0));

    slant_array no_capacity{};
    accrete(no_capacity, 50.0, 0.0);
    EXPECT_EQ(no_capacity, slant_array{});
}

// A demand of `demand` mm drawn as the program draws it: a half-month without rain whose
// month's PET is twice the demand (both halvings exact).
void deplete(slant_array& profile, double demand, double slant_capacity) {
    half_month_balance(profile, 2.0 * demand, 0.0, slant_capacity);
}

TEST(Deplete, FullProfileFifteenMillimetres) {
    slant_array profile = full_profile(10.0);
    deplete(profile, 15.0, 10.0);
    slant_array expected = full_profile(10.0);
    slant(expected, 8) = 0.0;  // position 1, charge 10
    slant(expected, 7) = 5.0;  // position 2: 5 × 10 ÷ 10
    EXPECT_EQ(profile, expected);
}

TEST(Deplete, LastPositionChargesFiveTimesItsWater) {
    slant_array profile{};
    slant(profile, 57) = 2.0;
    deplete(profile, 5.0, 10.0);
    EXPECT_EQ(slant(profile, 57), 1.0);  // 5 × 2 ÷ 10
}

TEST(Deplete, RowOrderDrawsOnTheFirstRowFromColumnEight) {
    const double slant_capacity = 1.5;  // 96 mm in all
    slant_array profile = full_profile(slant_capacity);
    // Positions 1 to 7 cost 1.5 × (1.00 × 4 + 1.02 + 1.03 + 1.05) = 10.65 mm.
    deplete(profile, 10.65 + 0.5, slant_capacity);
    for (int k = 2; k <= 8; ++k) {
        EXPECT_EQ(slant(profile, k), 0.0) << k;
    }
    // Slant 1 at position 8 with coefficient 1.07 keeps (1.605 − 0.5) × 1.5 ÷ 1.605.
    EXPECT_DOUBLE_EQ(slant(profile, 1), (1.5 * 1.07 - 0.5) * 1.5 / (1.5 * 1.07));
    EXPECT_EQ(slant(profile, 16), slant_capacity);
}

TEST(Deplete, ExactChargeEmptiesTheSlantAndEndsThePass) {
    slant_array profile = full_profile(10.0);
    deplete(profile, 10.0, 10.0);
    EXPECT_EQ(slant(profile, 8), 0.0);
    EXPECT_EQ(slant(profile, 7), 10.0);
}

TEST(Deplete, UnpaidDemandEmptiesTheProfileAndIsDropped) {
    slant_array profile = full_profile(2.0);
    deplete(profile, 1e6, 2.0);
    EXPECT_EQ(profile, slant_array{});

    slant_array unchanged = full_profile(2.0);
    deplete(unchanged, 0.0, 2.0);
    EXPECT_EQ(unchanged, full_profile(2.0));
}

TEST(HalfMonthBalance, TwoMonthsInARow) {
    const double slant_capacity = 10.0;
    slant_array profile{};

    // A wet month: precipitation 120 mm, PET 40 mm.
    half_month_balance(profile, 40.0, 60.0, slant_capacity);
    EXPECT_EQ(slant(profile, 1), 10.0);
    EXPECT_EQ(slant(profile, 2), 0.0);
    accrete(profile, 60.0, slant_capacity);
    half_month_balance(profile, 40.0, 60.0, slant_capacity);
    slant_array row_one_full{};
    for (int k = 1; k <= 8; ++k) {
        slant(row_one_full, k) = 10.0;
    }
    EXPECT_EQ(profile, row_one_full);

    // A dry month: precipitation 20 mm, PET 60 mm.
    half_month_balance(profile, 60.0, 10.0, slant_capacity);
    EXPECT_EQ(slant(profile, 8), 0.0);
    EXPECT_EQ(slant(profile, 7), 0.0);
    EXPECT_EQ(slant(profile, 6), 5.0);
    accrete(profile, 10.0, slant_capacity);
    EXPECT_EQ(slant(profile, 6), 10.0);
    EXPECT_EQ(slant(profile, 7), 5.0);
    half_month_balance(profile, 60.0, 10.0, slant_capacity);

    slant_array expected{};
    for (int k = 1; k <= 4; ++k) {
        slant(expected, k) = 10.0;
    }
    slant(expected, 5) = 0.5 * 10.0 / 10.5;  // 10 ÷ 21 mm
    EXPECT_EQ(profile, expected);
    EXPECT_DOUBLE_EQ(slant(profile, 5), 10.0 / 21.0);
}

TEST(HalfMonthBalance, NoNetLeavesTheProfileAlone) {
    slant_array profile{};
    slant(profile, 3) = 1.25;
    const slant_array before = profile;
    half_month_balance(profile, 30.0, 30.0, 10.0);
    EXPECT_EQ(profile, before);
}

TEST(MoistureCondition, ComparesTheSectionWithZeroExactly) {
    EXPECT_EQ(moisture_condition(0.0, 0.0, 0.0), moisture_code::dry);
    EXPECT_EQ(moisture_condition(1e-300, 0.0, 0.0), moisture_code::moist_dry);
    EXPECT_EQ(moisture_condition(0.0, 0.0, 3.0), moisture_code::moist_dry);
    EXPECT_EQ(moisture_condition(1.0, 1e-300, 2.0), moisture_code::moist);
}

half_month_codes record_of(slant_array& profile, double pet, double half_precipitation, double slant_capacity) {
    half_month_codes record{};
    half_month_balance_recording(profile, pet, half_precipitation, slant_capacity, record);
    return record;
}

half_month_codes codes(int start, int d1, int middle, int d2, int end) {
    half_month_codes record{};
    for (int day = 0; day < days_per_half_month; ++day) {
        record[day] = static_cast<moisture_code>(day < d1 ? start : day < d1 + d2 ? middle : end);
    }
    return record;
}

TEST(HalfMonthBalanceRecording, TwoChangesWhileFilling) {
    // 30 mm into an empty 1 mm-slant profile: slant 9 fills after 9 mm, slant 25 after 16 more.
    slant_array profile{};
    EXPECT_EQ(record_of(profile, 0.0, 60.0, 1.0), codes(1, 4, 2, 8, 3));
    EXPECT_EQ(slant(profile, 30), 1.0);
    EXPECT_EQ(slant(profile, 31), 0.0);
}

TEST(HalfMonthBalanceRecording, AChangeAtTheVeryEndShowsFromTheNextHalfMonth) {
    for (const double amount : {0.5, 1.0}) {
        slant_array profile{};
        for (int k = 1; k <= 8; ++k) {
            slant(profile, k) = 1.0;
        }
        EXPECT_EQ(record_of(profile, 0.0, 2.0 * amount, 1.0), codes(1, 15, 1, 0, 1)) << amount;
        EXPECT_EQ(slant(profile, 9), amount);
    }
}

TEST(HalfMonthBalanceRecording, NoChange) {
    slant_array empty{};
    EXPECT_EQ(record_of(empty, 50.0, 10.0, 1.0), codes(1, 15, 1, 0, 1));

    slant_array full = full_profile(2.0);
    EXPECT_EQ(record_of(full, 20.0, 20.0, 2.0), codes(3, 15, 3, 0, 3));
}

TEST(HalfMonthBalanceRecording, DryingPlacesTheChangeAfterTheWholeCharge) {
    // Row order (1 mm slants, 64 mm in all): slants 8 to 1, then 16 to 9. Slant 9 stands at
    // position 16, so the section turns partly dry once the charges of positions 1 to 16
    // are paid in full; the rest of the demand goes into slant 24 and changes nothing more.
    const double slant_capacity = 1.0;
    double charge_to_slant_9 = 0.0;
    for (int p = 0; p < 16; ++p) {
        charge_to_slant_9 += depletion_coefficients[p];
    }
    const double demand = charge_to_slant_9 + 0.5;  // then part of slant 24
    slant_array profile = full_profile(slant_capacity);
    const half_month_codes record = record_of(profile, 2.0 * demand, 0.0, slant_capacity);
    const int d1 = static_cast<int>(15.0 * charge_to_slant_9 / demand);
    EXPECT_EQ(record, codes(3, d1, 2, 0, 2));
    EXPECT_EQ(d1, 14);
    EXPECT_EQ(slant(profile, 9), 0.0);
    EXPECT_GT(slant(profile, 24), 0.0);
}

// The recording step changes the profile exactly as the plain step does, and every slant
// stays between 0 and the slant capacity, whatever the profile and the amounts.
TEST(WaterBalanceProperties, RandomStepsKeepTheInvariants) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 2000; ++trial) {
        const double slant_capacity = trial % 3 == 0 ? unit(random) * 1.6 : unit(random) * 8.0;
        slant_array plain{};
        for (double& water : plain) {
            const double u = unit(random);
            water = u < 0.3 ? 0.0 : u < 0.6 ? slant_capacity : unit(random) * slant_capacity;
        }
        slant_array recorded = plain;
        for (int step = 0; step < 24; ++step) {
            const double pet = unit(random) < 0.1 ? 0.0 : unit(random) * 200.0;
            const double half_precipitation = unit(random) < 0.1 ? pet : unit(random) * 120.0;
            half_month_balance(plain, pet, half_precipitation, slant_capacity);
            const moisture_code start = moisture_condition(recorded);
            half_month_codes record{};
            half_month_balance_recording(recorded, pet, half_precipitation, slant_capacity, record);
            ASSERT_EQ(plain, recorded) << "trial " << trial << ", step " << step;
            // The record runs from the starting condition toward the end one, one way only.
            const moisture_code end = moisture_condition(recorded);
            for (int day = 0; day < days_per_half_month; ++day) {
                ASSERT_TRUE(record[day] >= std::min(start, end) && record[day] <= std::max(start, end));
                if (day == 0 || record[day] == record[day - 1]) {
                    continue;
                }
                ASSERT_EQ(record[day] > record[day - 1], end > start);
            }
            if (step % 2 == 0) {
                accrete(plain, half_precipitation, slant_capacity);
                accrete(recorded, half_precipitation, slant_capacity);
            }
            for (const double water : plain) {
                ASSERT_GE(water, 0.0);
                ASSERT_LE(water, slant_capacity);
            }
        }
    }
}

}  // namespace
}  // namespace soil_climate
