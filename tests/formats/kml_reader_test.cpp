// The KML track reader: round trips through the trip writer, the signature
// check against changed data, the structure and data error texts, and the
// choice between several tracks.
#include <gtest/gtest.h>

#include <random>

#include "core/time.hpp"
#include "formats/kml/logbook.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/trip_writer.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

const uint32_t kT0 = time_from_calendar(2012, 5, 20, 11, 30, 0);

std::vector<TrackPosition> track(int count, uint32_t start = kT0) {
    std::vector<TrackPosition> out;
    for (int i = 0; i < count; ++i) {
        TrackPosition p;
        p.time = start + 2 * i + (i > 10 ? 30 : 0);
        p.latitude = 550000000 - 7919 * i;
        p.longitude = -20000000 + 15731 * i * (i % 3 == 0 ? 1 : -1);
        p.gps_altitude = 8000 + 37 * i - (i % 7) * 90;
        p.baro_altitude = 790 + 3 * i;
        out.push_back(p);
    }
    return out;
}

std::string folder(std::vector<TrackPosition> fixes, bool sign = true, bool baro = true, const char* instrument = "GPS 60") {
    TripStatistics s;
    s.times_in_utc = true;
    s.baro_present = baro;
    s.download_flag = sign;
    s.download_time = kT0 + 7200;
    TripTexts texts;
    texts.instrument = instrument;
    TextBuffer out;
    EXPECT_EQ(write_trip_folder(out, fixes, s, texts), 0);
    return out.take();
}

std::string document(const std::string& folders) {
    return std::string(kKmlDocumentHead) + folders + std::string(kKmlDocumentTail);
}

// Replaces the first occurrence of what after the anchor.
std::string change(std::string text, const std::string& anchor, const std::string& what, const std::string& with) {
    const auto a = text.find(anchor);
    EXPECT_NE(a, std::string::npos) << anchor;
    const auto w = text.find(what, a);
    EXPECT_NE(w, std::string::npos) << what;
    return text.replace(w, what.size(), with);
}

TEST(KmlTrackReader, SignedTrackReadsBackExactly) {
    const auto fixes = track(60);
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, document(folder(fixes)), false, got), 60) << r.last_error().text;
    EXPECT_TRUE(got.signature_valid);
    EXPECT_TRUE(got.times_in_utc);
    EXPECT_TRUE(got.baro_present);
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        EXPECT_EQ(got.positions[i].time, fixes[i].time);
        // Six decimals of a degree are about 12 semicircles.
        EXPECT_NEAR(got.positions[i].latitude, fixes[i].latitude, 12) << i;
        EXPECT_NEAR(got.positions[i].longitude, fixes[i].longitude, 12) << i;
        EXPECT_EQ(got.positions[i].gps_altitude, (fixes[i].gps_altitude + 5) / 10 * 10) << i;
        EXPECT_EQ(got.positions[i].baro_altitude, fixes[i].baro_altitude);
        EXPECT_EQ(got.positions[i].flags, i == 0 ? kSegmentStart : 0u);
    }
    EXPECT_EQ(r.count("error"), 0);
}

TEST(KmlTrackReader, AnyChangedValueBreaksTheSignature) {
    const std::string good = document(folder(track(30)));
    const struct {
        const char* anchor;
        const char* what;
        const char* with;
    } edits[] = {
        {"<coordinates>\r\n-", "0,", "1,"},                        // one digit of a coordinate
        {"<SecondsFromTimeOfFirstPoint>\r\n", " 4 ", " 5 "},       // one fix time
        {"<PressureAltitude>\r\n", "793", "794"},                  // one pressure altitude
        {"<coordinates>\r\n-", ",800", ",801"},                    // one GPS altitude
        {"time_of_first_point=", "11:30:00", "11:30:01"},         // the time base
        {"instrument=", "GPS 60", "GPS 61"},                      // the instrument
        {"downloaded=", "13:30", "13:31"},                        // the download time
    };
    for (const auto& e : edits) {
        test::RecordingReporter r;
        KmlTrack got;
        ASSERT_EQ(read_kml_track(r, change(good, e.anchor, e.what, e.with), false, got), 30) << e.what;
        EXPECT_FALSE(got.signature_valid) << e.what;
        EXPECT_FALSE(got.times_in_utc) << e.what;
    }
    KmlTrack got;
    test::RecordingReporter r;
    ASSERT_EQ(read_kml_track(r, good, false, got), 30);
    EXPECT_TRUE(got.signature_valid);
}

TEST(KmlTrackReader, NegativeAltitudesKeepTheirMetres) {
    auto fixes = track(5);
    fixes[1].gps_altitude = -15;  // written as -1
    fixes[2].gps_altitude = -26;  // written as -2
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, document(folder(fixes)), false, got), 5);
    EXPECT_EQ(got.positions[1].gps_altitude, -10);
    EXPECT_EQ(got.positions[2].gps_altitude, -20);
    EXPECT_TRUE(got.signature_valid);
}

TEST(KmlTrackReader, UnsignedAndWithoutPressure) {
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, document(folder(track(8), false, false)), false, got), 8);
    EXPECT_FALSE(got.signature_valid);
    EXPECT_FALSE(got.times_in_utc);
    EXPECT_FALSE(got.baro_present);
    EXPECT_EQ(got.positions[3].baro_altitude, 0);
}

TEST(KmlTrackReader, EscapedInstrumentTextStillVerifies) {
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, document(folder(track(8), true, true, "Vario \"Pro\" <7> & 'co'")), false, got), 8);
    EXPECT_TRUE(got.signature_valid);
}

TEST(KmlTrackReader, ByteOrderMarks) {
    test::RecordingReporter r;
    KmlTrack got;
    EXPECT_EQ(read_kml_track(r, "\xEF\xBB\xBF" + document(folder(track(6))), false, got), 6);
    EXPECT_EQ(read_kml_track(r, "\xFF\xFE" + document(folder(track(6))), false, got), 0);
    EXPECT_EQ(r.last_error().text, "Unknown BOM before opening tag");
    EXPECT_EQ(r.last_error().title, "Parsing track log file");
}

TEST(KmlTrackReader, CommentsAndCdataAnywhereAreSkipped) {
    std::string text = document(folder(track(6)));
    text = change(text, "<Placemark>", "<Metadata src=\"Orlogix\" v=\"0.10\" type=\"track\">",
                  "<!-- a comment --><![CDATA[ <Folder> ]]><Metadata src=\"Orlogix\" v=\"0.10\" type=\"track\">"
                  "<!---x--->");
    text = change(text, "</FsInfo>", "</Metadata>", "</Metadata><![CDATA[]]>");
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, text, false, got), 6) << r.last_error().text;
    EXPECT_TRUE(got.signature_valid);
}

TEST(KmlTrackReader, TrackErrors) {
    const std::string good = document(folder(track(12)));
    const auto seconds_at = good.find("<SecondsFromTimeOfFirstPoint>");
    const auto seconds_end = good.find("</SecondsFromTimeOfFirstPoint>");
    const std::string seconds = good.substr(seconds_at, seconds_end - seconds_at);
    const auto coords_at = good.rfind("<coordinates>\r\n");
    const auto coords_end = good.rfind("\r\n        </coordinates>");
    const std::string coords = good.substr(coords_at, coords_end - coords_at);
    const std::string last_triple = coords.substr(coords.rfind(' ') + 1);

    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"<Document></Document>", "No track log found"},
        {good.substr(0, good.find("<coordinates>") + 5), "End-of-file encountered within a tag"},
        {good.substr(0, good.rfind("</Folder>")), "Nesting level not zero at end-of-file"},
        {good + "trailing", "Data found after last tag"},
        {change(good, "type=\"track\"", "</Metadata>", "</Meta>"), "Tag <Metadata> is terminated by <Meta>"},
        {change(good, "", seconds, "<SecondsFromTimeOfFirstPoint>\r\n  \r\n"), "No track log time offsets found"},
        {change(good, "", coords, "<coordinates>\r\n"), "No track log positions found"},
        {change(good, "", "time_of_first_point=\"2012", "time_of_first_point=\"20x2"), "Bad time_of_first_point"},
        {change(good, "", "time_of_first_point=", "time_of_last_point="), "Bad time_of_first_point"},
        {change(good, "", seconds, seconds.substr(0, seconds.size() - 4) + "x\r\n"),
         "Bad <SecondsFromTimeOfFirstPoint> data"},
        {change(good, "<PressureAltitude>", "790 ", "7.9 "), "Bad <PressureAltitude> data"},
        {change(good, "<PressureAltitude>", "790 ", ""), "Bad number of positions in <PressureAltitude>"},
        {change(good, "", coords, coords.substr(0, coords.size() - last_triple.size())),
         "Bad number of positions in <coordinates>"},
        {change(good, "", coords, coords + " 1.0,2.0,3"), "Bad number of positions in <coordinates>"},
        {change(good, "", last_triple, "180.000001,45.0,100"), "Bad <coordinates> data"},
        {change(good, "", last_triple, "1.0,-90.000001,100"), "Bad <coordinates> data"},
        {change(good, "", last_triple, "1.0;45.0;100"), "Bad <coordinates> data"},
        {change(good, "", last_triple, "1e1,45.0,100"), "Bad <coordinates> data"},
        {change(good, "", coords, "<coordinates>\r\n1.0,45.0 " + coords.substr(15)), "Bad <coordinates> data"},
        {change(change(good, "type=\"track\"", "<FsInfo", "<NoInfo"), "", "</FsInfo>", "</NoInfo>"),
         "No track log information found"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        KmlTrack got;
        EXPECT_EQ(read_kml_track(r, c.text, false, got), 0) << c.message;
        EXPECT_EQ(r.last_error().text, c.message);
        EXPECT_EQ(r.last_error().title, "Parsing track log file");
        EXPECT_TRUE(got.positions.empty());
    }
}

TEST(KmlTrackReader, AltitudeMayBeMissingOnlyOnTheLastTriple) {
    std::string good = document(folder(track(6), false));
    const auto end = good.rfind("\r\n        </coordinates>");
    const auto comma = good.rfind(',', end);
    test::RecordingReporter r;
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, std::string(good).erase(comma, end - comma), false, got), 6) << r.last_error().text;
    EXPECT_EQ(got.positions.back().gps_altitude, 0);
    const auto first = good.find(",", good.rfind("<coordinates>\r\n") + 16);
    const auto first_end = good.find(' ', first);
    EXPECT_EQ(read_kml_track(r, good.erase(first, first_end - first), false, got), 0);
    EXPECT_EQ(r.last_error().text, "Bad <coordinates> data");
}

TEST(KmlTrackReader, MultipleTracksInOneElement) {
    const std::string one = folder(track(6));
    // Two track placemarks in one folder.
    const auto p = one.find("\r\n    <Placemark>\r\n      <Metadata src=\"Orlogix\" v=\"0.10\" type=\"track\">");
    const auto q = one.rfind("  </Folder>");
    const std::string placemark = one.substr(p, q - p);
    test::RecordingReporter r;
    KmlTrack got;
    EXPECT_EQ(read_kml_track(r, document(one.substr(0, q) + placemark + "  </Folder>\r\n"), false, got), 0);
    EXPECT_EQ(r.last_error().text, "Multiple tracks in one <Folder> element");
    // Two track metadata blocks in one placemark.
    const auto m = placemark.find("      <Metadata");
    const auto m_end = placemark.find("      </Metadata>\r\n") + 19;
    std::string doubled = placemark;
    doubled.insert(m_end, placemark.substr(m, m_end - m));
    EXPECT_EQ(read_kml_track(r, document(one.substr(0, p) + doubled + "  </Folder>\r\n"), false, got), 0);
    EXPECT_EQ(r.last_error().text, "Multiple tracks in one <Placemark> element");
}

TEST(KmlTrackReader, ChoiceBetweenTracks) {
    const std::string two = document(folder(track(6)) + folder(track(9, kT0 + 86400 + 3661)));
    {
        test::RecordingReporter r;
        r.queue_answer(1);
        KmlTrack got;
        ASSERT_EQ(read_kml_track(r, two, false, got), 9);
        const auto boxes = r.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Track List");
        EXPECT_EQ(boxes[0].text, "2012-05-20   11:30:00\n2012-05-21   12:31:01\n");
    }
    {
        test::RecordingReporter r;
        r.queue_answer(-1);
        KmlTrack got;
        EXPECT_EQ(read_kml_track(r, two, false, got), 0);
        EXPECT_EQ(r.count("error"), 0);
    }
    {
        test::RecordingReporter r;
        r.queue_answer(5);
        KmlTrack got;
        EXPECT_EQ(read_kml_track(r, two, false, got), 0);
        EXPECT_EQ(r.last_error().title, "Select track");
        EXPECT_EQ(r.last_error().text, "Dialog box error");
    }
    {
        // Silent: the first, and no boxes at all, even for errors.
        test::RecordingReporter r;
        KmlTrack got;
        EXPECT_EQ(read_kml_track(r, two, true, got), 6);
        EXPECT_EQ(read_kml_track(r, "<a>", true, got), 0);
        EXPECT_TRUE(r.boxes().empty());
    }
    {
        // Track times that cannot be shown.
        std::string bad = change(two, "", "time_of_first_point=\"2012", "time_of_first_point=\"x012");
        bad.replace(bad.rfind("time_of_first_point="), 20, "time_of_last_point=");
        test::RecordingReporter r;
        r.queue_answer(-1);
        KmlTrack got;
        read_kml_track(r, bad, false, got);
        EXPECT_EQ(r.boxes().at(0).text, "Bad track time\nMissing track time\n");
    }
}

TEST(KmlTrackReader, AtMostFiftyTracks) {
    std::string folders;
    for (int i = 0; i < 51; ++i) folders += folder(track(5, kT0 + 86400 * i));
    test::RecordingReporter r;
    r.queue_answer(49);
    KmlTrack got;
    ASSERT_EQ(read_kml_track(r, document(folders), false, got), 5);
    EXPECT_EQ(got.positions.front().time, kT0 + 86400 * 49);
    const auto boxes = r.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Number of tracks limited to 50");
    EXPECT_EQ(std::count(boxes[1].text.begin(), boxes[1].text.end(), '\n'), 50);
}

TEST(KmlTrackReader, MangledFilesNeverCrash) {
    const std::string good = document(folder(track(40)));
    std::mt19937 rng(99);
    const std::string junk = "<>/\"'= ,.-0123456789\r\n";
    for (int round = 0; round < 400; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
            case 0: text[at] = junk[rng() % junk.size()]; break;
            case 1: text.erase(at, rng() % 20); break;
            default: text.resize(at); break;
            }
        }
        test::RecordingReporter r;
        KmlTrack got;
        const int n = read_kml_track(r, text, false, got);
        EXPECT_TRUE(n > 0 || r.count("error") == 1);
        EXPECT_EQ(static_cast<std::size_t>(n), got.positions.size());
    }
}

}  // namespace
}  // namespace orlogix
