// The client's command line and the buffer that collects it: every error
// text word for word, values checked for overflow, commands split over
// packets, and an overlong command never executed cut short.
#include <gtest/gtest.h>

#include <tuple>

#include "control/server/network_command.hpp"

namespace orlogix {
namespace {

struct GrammarCase {
    const char* line;
    const char* error;
};

TEST(NetworkCommand, EveryGrammarErrorHasItsText) {
    const GrammarCase cases[] = {
        {"hello", "$Orlogix Error Bad command identifier"},
        {"$orlogix /gps=garmin", "$Orlogix Error Bad command identifier"},
        {"$Orlogix gps=garmin", "Missing parameter start '/'"},
        {"$Orlogix /gps", "Missing parameter assignment character '='"},
        {"$Orlogix /gps /com=3", "Missing parameter assignment character '='"},
        {"$Orlogix /gps=", "Missing parameter value"},
        {"$Orlogix /gps= /com=3", "Missing parameter value"},
        {"$Orlogix /com=\"3", "Missing '\"'"},
        {"$Orlogix /com=x", "Bad COM port value"},
        {"$Orlogix /com=-3", "Bad COM port value"},
        {"$Orlogix /com=4294967299", "Bad COM port value"},
        {"$Orlogix /gps=Garmin", "Unrecognized GPS type"},
        {"$Orlogix /gps=tomtom", "Unrecognized GPS type"},
        {"$Orlogix /abort=yes", "Bad abort value"},
        {"$Orlogix /abort=4294967296", "Bad abort value"},
        {"$Orlogix /track=32", "Bad track select"},
        {"$Orlogix /track=4294967297", "Bad track select"},
        {"$Orlogix /igc=2", "Bad IGC value"},
        {"$Orlogix /COM=3", "Unrecognized parameter"},
        {"$Orlogix /gps=garmin /speed=9600", "Unrecognized parameter"},
    };
    for (const GrammarCase& c : cases) {
        NetworkCommand out;
        std::string error;
        EXPECT_EQ(parse_network_command(c.line, out, error), -1) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
}

TEST(NetworkCommand, ParametersAndQuotedValues) {
    NetworkCommand c;
    std::string error;
    ASSERT_EQ(parse_network_command("$Orlogix  /gps=flymaster /com=12  /track=31 /abort=1 /igc=1 ", c, error), 0);
    EXPECT_EQ(std::tie(c.gps, c.com_number, *c.track, *c.abort, c.igc), std::make_tuple("flymaster", 12, 31, 1u, true));
    ASSERT_EQ(parse_network_command("$Orlogix /com=\"/dev/serial/by-id/usb-My GPS\" /gps=garmin", c, error), 0);
    EXPECT_EQ(c.com, "/dev/serial/by-id/usb-My GPS");
    EXPECT_EQ(c.com_number, -1);
}

TEST(CommandBuffer, CommandsEndAtTheirNulWhateverThePackets) {
    CommandBuffer b;
    EXPECT_TRUE(b.feed("$Orlogix /gp").empty());
    EXPECT_TRUE(b.feed("s=garmin /c").empty());
    auto events = b.feed(std::string("om=3") + '\0' + "$Orlogix /abort=1" + '\0' + "$Orl");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].command, "$Orlogix /gps=garmin /com=3");
    EXPECT_EQ(events[1].command, "$Orlogix /abort=1");
    EXPECT_FALSE(events[0].too_long);
    EXPECT_EQ(b.size(), 4u);
}

TEST(CommandBuffer, AnOverlongCommandEndsAsTooLongAndIsNeverRun) {
    CommandBuffer b;
    // 150 bytes, then a line feed: one "too long", and the buffer is empty again.
    auto events = b.feed(std::string(150, 'x'));
    EXPECT_TRUE(events.empty());
    events = b.feed("\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].too_long);
    EXPECT_EQ(b.size(), 0u);

    // A command cut at the buffer's end would change its meaning ("/com=12"
    // kept as "/com=1"): its NUL gives "too long" instead.
    std::string padded = "$Orlogix /gps=garmin" + std::string(kCommandBufferSize - 26, ' ') + "/com=12";
    padded.push_back('\0');
    events = b.feed(padded);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].too_long);

    // Exactly the buffer's size still runs; the next command is whole again.
    std::string full = "$Orlogix /gps=garmin" + std::string(kCommandBufferSize - 27, ' ') + "/com=12";
    ASSERT_EQ(full.size(), kCommandBufferSize);
    events = b.feed(full + std::string(1, '\0') + "$Orlogix /abort=1" + std::string(1, '\0'));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].too_long);
    EXPECT_EQ(events[0].command, full);
    EXPECT_EQ(events[1].command, "$Orlogix /abort=1");
}

}  // namespace
}  // namespace orlogix
