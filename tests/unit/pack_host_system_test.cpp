// The tools' host seam: calendar dates and seconds since 1970 both ways (UTC whatever the
// zone), the order of two moments, and running a program with its output and exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "pack/host_system.h"

namespace {

struct ZoneFixture : ::testing::Test {
    // A zone with summer time: a local-time conversion anywhere would shift the results.
    void SetUp() override {
        const char* zone = getenv("TZ");
        hadZone_ = zone != nullptr;
        if (hadZone_) savedZone_ = zone;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        hadZone_ ? setenv("TZ", savedZone_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    bool hadZone_ = false;
    std::string savedZone_;
};

using HostDates = ZoneFixture;

TEST_F(HostDates, SecondsAndCalendarConvertBothWays) {
    struct {
        long long seconds;
        DosDateTime when;
    } cases[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {315532800, {1980, 1, 1, 0, 0, 0}},        // the first DOS date
        {1002822132, {2001, 10, 11, 17, 42, 12}},  // in summer time where zones have one
        {951782400, {2000, 2, 29, 0, 0, 0}},       // a leap day of a century year
        {2147483647, {2038, 1, 19, 3, 14, 7}},     // the last second of 32-bit time
        {4354819199, {2107, 12, 31, 23, 59, 59}},  // the last DOS date
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SecondsSince1970(c.when), c.seconds) << c.seconds;
        DosDateTime back{};
        ASSERT_TRUE(UtcCalendar(c.seconds, &back)) << c.seconds;
        EXPECT_EQ(SecondsSince1970(back), c.seconds);
        EXPECT_EQ(back.year, c.when.year) << c.seconds;
        EXPECT_EQ(back.month, c.when.month) << c.seconds;
        EXPECT_EQ(back.day, c.when.day) << c.seconds;
        EXPECT_EQ(back.hour, c.when.hour) << c.seconds;
        EXPECT_EQ(back.minute, c.when.minute) << c.seconds;
        EXPECT_EQ(back.second, c.when.second) << c.seconds;
    }
}

TEST(HostDateOrder, EachFieldDecidesOnlyWhenTheLargerOnesAreEqual) {
    const DosDateTime base{2001, 6, 15, 12, 30, 30};
    struct {
        DosDateTime later;
        const char* field;
    } cases[] = {
        {{2002, 1, 1, 0, 0, 0}, "year"},      {{2001, 7, 1, 0, 0, 0}, "month"},
        {{2001, 6, 16, 0, 0, 0}, "day"},      {{2001, 6, 15, 13, 0, 0}, "hour"},
        {{2001, 6, 15, 12, 31, 0}, "minute"}, {{2001, 6, 15, 12, 30, 31}, "second"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(IsEarlier(base, c.later)) << c.field;
        EXPECT_FALSE(IsEarlier(c.later, base)) << c.field;
    }
    EXPECT_FALSE(IsEarlier(base, base));  // a moment is not earlier than itself
}

TEST(HostPrograms, OutputAndStatusAreCapturedWithTheGivenEnvironment) {
    ASSERT_TRUE(HostRunsPrograms());
    struct {
        std::vector<std::string> args;
        int status;
        const char* output;
    } cases[] = {
        {{"sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\nerr\n"},
        {{"sh", "-c", "printf %s \"$QV_HOST_TEST\""}, 0, "given"},
        {{"qv-no-such-program-anywhere"}, 127, ""},
    };
    for (const auto& c : cases) {
        ProgramRun ran = RunProgram(c.args, {{"QV_HOST_TEST", "given"}});
        EXPECT_EQ(ran.status, c.status) << c.args.back();
        EXPECT_EQ(ran.output, c.output) << c.args.back();
    }
    EXPECT_EQ(getenv("QV_HOST_TEST"), nullptr);  // set for the program only
}

}  // namespace
