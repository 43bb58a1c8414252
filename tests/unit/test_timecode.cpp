#include "TimeCode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

void expectFields(const TimeCode& t, int32_t m, int32_t s, int32_t ms, uint32_t total, bool valid)
{
    EXPECT_EQ(t.getMinutes(), m);
    EXPECT_EQ(t.getSeconds(), s);
    EXPECT_EQ(t.getMilliseconds(), ms);
    EXPECT_EQ(t.getTotal(), total);
    EXPECT_EQ(t.isValid(), valid);
}

} // namespace

TEST(TimeCode, ParsesMinutesSecondsMilliseconds)
{
    expectFields(TimeCode(std::string("03:51:00")), 3, 51, 0, 231000u, true);
    expectFields(TimeCode(std::string("99:00:00")), 99, 0, 0, 5940000u, true);
    expectFields(TimeCode(std::string("00:00:00")), 0, 0, 0, 0u, true);
    // The third field counts milliseconds, not frames or hundredths.
    expectFields(TimeCode(std::string("00:01:250")), 0, 1, 250, 1250u, true);
}

TEST(TimeCode, MalformedTextIsInvalidAndAllZero)
{
    const char* bad[] = {"03:51", "03:51:00:00", "", "0a:51:00", "03:x:00", "03:51:", ":51:00", "-:00:00", "+3:00:00",
                         "03:51:0 ", "03.51.00"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        expectFields(TimeCode(std::string(text)), 0, 0, 0, 0u, false);
    }
}

TEST(TimeCode, ReparseResetsOldValuesAndValidity)
{
    TimeCode t(1, 2, 3);
    t.parse("07:xx:09"); // the minutes field parses, but the whole code is invalid
    expectFields(t, 0, 0, 0, 0u, false);
    t.parse("00:02:500");
    expectFields(t, 0, 2, 500, 2500u, true);
}

TEST(TimeCode, NegativeFieldsParseAndKeepTheInvariant)
{
    // total is unsigned, so a negative sum wraps like the 32-bit value it is.
    TimeCode t(std::string("-01:30:00"));
    expectFields(t, -1, 30, 0, static_cast<uint32_t>(-30000), true);
    TimeCode u(std::string("00:00:-5"));
    expectFields(u, 0, 0, -5, static_cast<uint32_t>(-5), true);
}

TEST(TimeCode, SettersCarryAndRecomputeTotal)
{
    TimeCode t(1, 0, 0);
    t.setSeconds(125);
    expectFields(t, 3, 5, 0, 185000u, true);
    t.setSeconds(59);
    expectFields(t, 3, 59, 0, 239000u, true);
    t.setMinutes(4);
    expectFields(t, 4, 59, 0, 299000u, true);

    // Milliseconds carry into seconds only, never on into minutes.
    TimeCode u(0, 0, 0);
    u.setMilliseconds(61500);
    expectFields(u, 0, 61, 500, 61500u, true);
    u.setMilliseconds(999);
    expectFields(u, 0, 61, 999, 61999u, true);
}

TEST(TimeCode, ConstructsFromTotalMilliseconds)
{
    expectFields(TimeCode(231000u), 3, 51, 0, 231000u, true);
    expectFields(TimeCode(3723004u), 62, 3, 4, 3723004u, true);
    expectFields(TimeCode(0u), 0, 0, 0, 0u, true);
    expectFields(TimeCode(4294967295u), 71582, 47, 295, 4294967295u, true);
}

TEST(TimeCode, FormatsPaddedWithoutTruncating)
{
    EXPECT_EQ(TimeCode(231000u).format(), "(0000231000)-[03:51:000]");
    EXPECT_EQ(TimeCode(0u).format(), "(0000000000)-[00:00:000]");
    EXPECT_EQ(TimeCode(5, 3, 7).format(), "(0000303007)-[05:03:007]");
    EXPECT_EQ(TimeCode(4294967295u).format(), "(4294967295)-[71582:47:295]");
    EXPECT_EQ(TimeCode(0, 61, 1500).format(), "(0000062500)-[00:61:1500]");
}
