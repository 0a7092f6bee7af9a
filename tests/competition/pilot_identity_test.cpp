#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "competition/identity_position.hpp"
#include "competition/pilot_identity.hpp"

namespace orlogix {
namespace {

constexpr double kArcSecond = 4.848136811095e-6;  // radians

GeoPosition at(double lat_seconds, double lon_seconds) { return {lat_seconds * kArcSecond, lon_seconds * kArcSecond}; }

TEST(IdentityPosition, NumbersBecomeDegreesMinutesSecondsAndBack) {
    SemicirclePair p;
    ASSERT_EQ(encode_id_position(123456, p), 0);
    // 4 degrees 5' 6" north, 1 degree 2' 3" east.
    EXPECT_EQ(p.latitude, 48735948);
    EXPECT_EQ(p.longitude, 12338089);
    EXPECT_EQ(decode_id_position(semicircles_to_radians(p.latitude, p.longitude)), 123456);
    for (const int64_t n : {0LL, 9LL, 57LL, 12345LL, 99999LL, 17999999LL}) {
        ASSERT_EQ(encode_id_position(n, p), 0) << n;
        EXPECT_EQ(decode_id_position(semicircles_to_radians(p.latitude, p.longitude)), n);
    }
    // 180 longitude degrees would pass the date line; negative numbers mean none.
    EXPECT_EQ(encode_id_position(18000000, p), -1);
    EXPECT_EQ(encode_id_position(-1, p), -1);
}

TEST(IdentityPosition, PositionsThatHoldNoNumberDecodeToMinusOne) {
    const GeoPosition cases[] = {
        at(0, 12 * 60),            // longitude minutes 12
        at(10, 0),                 // latitude seconds 10
        at(10 * 3600, 0),          // latitude degrees 10
        at(-1, 0),                 // south
        at(0, -5),                 // west
        {std::nan(""), 0.0},
        at(0, 180 * 3600),
    };
    for (const GeoPosition& g : cases) EXPECT_EQ(decode_id_position(g), -1) << g.latitude << " " << g.longitude;
}

TEST(IdentityRecogniser, FindsEachIdOnceAndKeepsWhatItFound) {
    SemicirclePair comp, civl;
    ASSERT_EQ(encode_id_position(57, comp), 0);
    ASSERT_EQ(encode_id_position(12345, civl), 0);
    IdentityRecogniser normal(false);
    EXPECT_EQ(normal.product_text(), "");
    EXPECT_FALSE(normal.feed("TAKEOF", semicircles_to_radians(comp.latitude, comp.longitude)));
    EXPECT_TRUE(normal.feed("COMPID", semicircles_to_radians(comp.latitude, comp.longitude)));
    EXPECT_EQ(normal.product_text(), "Comp ID = 57");
    // A CIVLID after the COMPID keeps the competition number.
    EXPECT_TRUE(normal.feed("CIVLID 12345", semicircles_to_radians(civl.latitude, civl.longitude)));
    EXPECT_EQ(normal.found().comp_id, 57);
    EXPECT_EQ(normal.found().civl_id, 12345);
    EXPECT_EQ(normal.product_text(), "Comp ID = 57, CIVL ID = 12345");
    EXPECT_FALSE(normal.feed("COMPID", at(0, 12 * 60)));  // decodes to nothing: ignored
    EXPECT_FALSE(normal.feed("-57", {}));
    EXPECT_EQ(normal.found().comp_id, 57);

    IdentityRecogniser dash(true);
    EXPECT_FALSE(dash.feed("COMPID", semicircles_to_radians(comp.latitude, comp.longitude)));
    for (const char* ignored : {"-", "-5A", "57", "-1234567890123456789012345678901234567890"})
        EXPECT_FALSE(dash.feed(ignored, {})) << ignored;
    EXPECT_TRUE(dash.feed("-57", {}));
    EXPECT_EQ(dash.found().comp_id, 57);
    EXPECT_EQ(dash.found().civl_id, -1);
    EXPECT_EQ(dash.product_text(), "Comp ID = 57");
}

TEST(IdentityWaypoints, BuiltInOrderAndOnlyWhatFits) {
    std::vector<Waypoint> list(1);
    ASSERT_EQ(append_identity_waypoints(list, PilotIds{57, 12345}, true, 1000), 0);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1].identifier, "COMPID");
    EXPECT_EQ(list[1].comment, "COMPID 57");
    EXPECT_EQ(list[2].identifier, "CIVLID");
    EXPECT_EQ(list[2].comment, "CIVLID 12345");
    EXPECT_EQ(list[3].identifier, "-57");
    EXPECT_EQ(list[3].comment, "-57");
    EXPECT_EQ(list[3].latitude, 0);
    EXPECT_EQ(list[1].time, 1000u);
    EXPECT_EQ(list[1].height, 0);

    std::vector<Waypoint> only_civl;
    ASSERT_EQ(append_identity_waypoints(only_civl, PilotIds{-1, 7}, true, 0), 0);
    ASSERT_EQ(only_civl.size(), 1u);  // no dash waypoint without a competition number
    std::vector<Waypoint> wide;
    ASSERT_EQ(append_identity_waypoints(wide, PilotIds{123456, -1}, true, 0), 0);
    EXPECT_EQ(wide.size(), 1u);       // "-123456" would be cut to 6 characters
    EXPECT_EQ(append_identity_waypoints(wide, PilotIds{1, 18000000}, false, 0), -1);
    EXPECT_EQ(wide.size(), 1u);
}

TEST(IdentityWaypoints, UploadIsOfferedOnlyWhenNothingWasFound) {
    const PilotIds none, comp{57, -1}, civl{-1, 12345};
    EXPECT_TRUE(offer_pilot_id_upload_decision(none, true, comp));
    EXPECT_FALSE(offer_pilot_id_upload_decision(civl, true, comp));  // a CIVL ID alone was found
    EXPECT_FALSE(offer_pilot_id_upload_decision(none, false, comp));
    EXPECT_FALSE(offer_pilot_id_upload_decision(none, true, none));
    EXPECT_EQ(no_pilot_id_text(PilotIds{57, 12345}, "ANNA BERG", "eTrex Legend"),
              "The GPS did not contain any COMPID or CIVLID.\nDo you want to upload the following ID(s) ?\n"
              "COMPID 57\nCIVLID 12345\nANNA BERG\neTrex Legend");
}

}  // namespace
}  // namespace orlogix
