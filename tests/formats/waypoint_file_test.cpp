// Waypoint files by type and by content: every writer's file is recognised
// and read back, the XML and unknown cases, file errors, and the save and
// read commands' own steps.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/commands/waypoint_dialogs.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/mapsource.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using test::RecordingReporter;

constexpr uint32_t kNow = 700000000;

std::vector<Waypoint> sample() {
    Waypoint a;
    a.identifier = "TAKEOF";
    a.comment = "Take off North";
    a.latitude = 536870912;
    a.longitude = -134217728;
    a.height = 1234;
    a.time = 668149567;
    Waypoint b;
    b.identifier = "LZ-2";
    b.comment = "Landing";
    b.latitude = -400000000;
    b.longitude = 1600000000;
    b.height = 7;
    b.airfield = 1;
    return {a, b};
}

double degrees(int32_t semicircles) { return semicircles * 180.0 / 2147483648.0; }

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("orlogix_wpt_" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string slurp(const std::string& path) {
    std::string bytes;
    read_file(path, bytes);
    return bytes;
}

struct Expect {
    const char* id;
    double degrees;  // precision of the format
    bool names;      // identifiers come back (WinPilot numbers its lines instead)
    const FileFormat* type() const { return &file_format(FormatKind::Waypoint, id); }
};
constexpr Expect kEveryType[] = {
    {"ozi", 1e-6, true},       {"utm", 2e-5, true},
    {"geo", 3e-6, true}, {"mapsource", 1e-9, true},
    {"seeyou", 1e-5, true},    {"gpx", 1e-6, true},
    {"kml", 1e-6, true}, {"winpilot", 1e-5, false},
};

TEST(WaypointFile, EveryTypeIsRecognisedAndReadBack) {
    for (const Expect e : kEveryType) {
        SCOPED_TRACE(e.type()->id);
        RecordingReporter r;
        std::vector<Waypoint> out;
        const std::string bytes = waypoint_file_bytes(*e.type(), sample(), kNow);
        EXPECT_EQ(recognise_waypoint_format(bytes), e.type());
        ASSERT_EQ(read_waypoint_text(r, bytes, false, kNow, out), 2) << r.last_error().text;
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(degrees(out[i].latitude), degrees(sample()[i].latitude), e.degrees);
            EXPECT_NEAR(degrees(out[i].longitude), degrees(sample()[i].longitude), e.degrees);
            EXPECT_EQ(out[i].height, sample()[i].height);
            if (e.names) {
                EXPECT_EQ(out[i].identifier, sample()[i].identifier);
            }
        }
        EXPECT_EQ(r.count("error"), 0);
    }
}

// Longitudes a whole turn apart are the same meridian: 180 E reads back as 180 W.
double longitude_gap(int32_t a, int32_t b) {
    const double d = std::fabs(degrees(a) - degrees(b));
    return std::min(d, 360.0 - d);
}

// Writers round the last fraction of a degree onto the pole or the date line
// (89.9999999 becomes 90, 179.9999999 becomes 180); every reader takes what
// they wrote.
TEST(WaypointFile, EveryTypeReadsBackThePolesAndTheDateLine) {
    constexpr int32_t kPole = 1 << 30;
    constexpr int32_t kNorth45 = 1 << 29;
    struct Edge {
        int32_t latitude, longitude;
        bool polar;  // UTM does not reach the poles
    };
    const Edge edges[] = {
        {kPole - 1, INT32_MAX, true},           // 89.9999999 N 179.9999999 E
        {-kPole, INT32_MIN, true},              // 90 S 180 W
        {kPole, INT32_MIN + 1, true},           // 90 N 179.9999999 W
        {kNorth45, INT32_MAX, false},           // 45 N 179.9999999 E
        {-kNorth45, INT32_MIN, false},          // 45 S 180 W
    };
    for (const Expect e : kEveryType) {
        std::vector<Waypoint> in;
        for (const Edge& edge : edges) {
            if (edge.polar && e.type() == &file_format(FormatKind::Waypoint, "utm")) continue;
            Waypoint w;
            w.identifier = "EDGE" + std::to_string(in.size());
            w.latitude = edge.latitude;
            w.longitude = edge.longitude;
            in.push_back(w);
        }
        SCOPED_TRACE(e.type()->id);
        RecordingReporter r;
        std::vector<Waypoint> out;
        const std::string bytes = waypoint_file_bytes(*e.type(), in, kNow);
        // Every format is tried, so that one refusal does not hide another.
        if (read_waypoint_text(r, bytes, false, kNow, out) != static_cast<int>(in.size())) {
            ADD_FAILURE() << r.last_error().text << "\n" << bytes;
            continue;
        }
        for (std::size_t i = 0; i < in.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(degrees(out[i].latitude), degrees(in[i].latitude), e.degrees);
            EXPECT_LE(longitude_gap(out[i].longitude, in[i].longitude), e.degrees);
        }
    }
}

TEST(WaypointFile, MapSourceRecordLayout) {
    const std::string bytes = mapsource_waypoint_bytes({sample()[1]});
    // Head of 45 bytes, then the record: length, "W", "LZ-2" and its NUL.
    ASSERT_GT(bytes.size(), 45u + 5u);
    const std::string record = bytes.substr(45);
    const uint32_t length = static_cast<uint8_t>(record[0]) | static_cast<uint8_t>(record[1]) << 8 |
                            static_cast<uint8_t>(record[2]) << 16 | static_cast<uint8_t>(record[3]) << 24;
    // name+NUL 5, 9 zeros, 3 x u32, u16, u32, 2 x i32, u8, f64, comment+NUL 8, 17, u32, 20
    EXPECT_EQ(length, 5u + 9 + 12 + 2 + 4 + 8 + 1 + 8 + 8 + 17 + 4 + 20);
    EXPECT_EQ(record.substr(4, 6), std::string("WLZ-2\0", 6));
    EXPECT_EQ(record.substr(10, 9), std::string(9, '\0'));
    EXPECT_EQ(record.substr(19, 12), std::string(12, '\xFF'));
    EXPECT_EQ(bytes.substr(bytes.size() - 7), std::string("\x02\0\0\0V\0\x01", 7));

    // A record that ends one byte early is a format error at its offset.
    std::string cut = bytes;
    cut.erase(cut.size() - 8, 1);
    cut[45] = static_cast<char>(cut[45] - 1);
    RecordingReporter r;
    std::vector<Waypoint> out;
    EXPECT_EQ(read_waypoint_text(r, cut, false, kNow, out), -1);
    EXPECT_EQ(r.last_error().text, "File format error at 0000002dh");
    EXPECT_EQ(r.last_error().title, "Decoding MapSource file");
}

TEST(WaypointFile, RecognitionByContent) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    // "name" means SeeYou whatever the file is called.
    EXPECT_EQ(read_waypoint_text(r, "name,code\n\"A\",A,,4500.000N,00600.000E,1m,1\n", false, kNow, out), 1);
    // Text after a NUL is not looked at.
    const char with_nul[] = "Title\n\"A\",A,,4500.000N,00600.000E,1m,1\n\0\"B\",x";
    EXPECT_EQ(read_waypoint_text(r, std::string(with_nul, sizeof with_nul - 1), false, kNow, out), 1);
    // A byte order mark before the declaration is allowed.
    const std::string gpx = waypoint_file_bytes(file_format(FormatKind::Waypoint, "gpx"), sample(), kNow);
    EXPECT_EQ(read_waypoint_text(r, "\xEF\xBB\xBF" + gpx, false, kNow, out), 2);
    // A WinPilot comment holding "<" is still WinPilot.
    EXPECT_EQ(read_waypoint_text(r, "1,45:00.000N,6:00.000E,5,T,a<b\n", false, kNow, out), 1);
    EXPECT_EQ(r.count("error"), 0);

    for (const char* text : {"<?xml version=\"1.0\"?><svg></svg>", "<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>",
                             "<?xml version=\"1.0\"?>", "name\n"}) {
        SCOPED_TRACE(text);
        RecordingReporter none;
        std::vector<Waypoint> kept(3);
        EXPECT_EQ(read_waypoint_text(none, text, false, kNow, kept), 0);
        EXPECT_EQ(kept.size(), 3u);
        EXPECT_EQ(none.last_error().title, "Decoding waypoint file");
        EXPECT_EQ(none.last_error().text, "No waypoints found");
    }
}

TEST(WaypointFile, FileErrors) {
    TempDir dir;
    RecordingReporter r;
    std::vector<Waypoint> out;
    EXPECT_EQ(read_waypoint_file(r, dir.file("missing.wpt"), false, out), -1);
    EXPECT_EQ(r.last_error().title, "Error opening waypoint file");
    EXPECT_EQ(r.last_error().text, system_error_text(ENOENT));

    std::ofstream(dir.file("empty.wpt")).close();
    EXPECT_EQ(read_waypoint_file(r, dir.file("empty.wpt"), false, out), -1);
    EXPECT_EQ(r.last_error().title, "Read waypoint file");
    EXPECT_EQ(r.last_error().text, "File is empty");

    fs::create_directories(dir.file("folder.wpt"));
    EXPECT_EQ(read_waypoint_file(r, dir.file("folder.wpt"), false, out), -1);
    EXPECT_EQ(r.last_error().title, "Waypoint file read error");

    EXPECT_EQ(write_waypoint_file(r, dir.file("no/such/folder.wpt"), file_format(FormatKind::Waypoint, "ozi"), sample()), -1);
    EXPECT_EQ(r.last_error().title, "File write error");
    EXPECT_TRUE(out.empty());
}

TEST(WaypointDialogs, Filters) {
    const std::vector<WaypointFilter> save = waypoint_save_filters();
    ASSERT_EQ(save.size(), 16u);
    EXPECT_EQ(save[0].label, "Ozi files (*.wpt)");
    EXPECT_EQ(save[3].label, "MapSource files (*.mps)");
    EXPECT_EQ(save[7].pattern, "*.dat");
    EXPECT_EQ(save[8].label, "Ozi files (*.*)");
    EXPECT_EQ(save[15].label, "WinPilot files (*.*)");
    EXPECT_EQ(save[15].pattern, "*.*");
    const std::vector<WaypointFilter> read = waypoint_read_filters();
    ASSERT_EQ(read.size(), 7u);
    EXPECT_EQ(read[0].label, "Ozi/Orlogix files (*.wpt)");
    EXPECT_EQ(read[3].label, "GPS exchange files (*.gpx)");
    EXPECT_EQ(read[6].label, "All files (*.*)");

    EXPECT_EQ(&waypoint_save_format(2), &file_format(FormatKind::Waypoint, "utm"));
    EXPECT_EQ(&waypoint_save_format(11), &file_format(FormatKind::Waypoint, "geo"));
    EXPECT_EQ(&waypoint_save_format(16), &file_format(FormatKind::Waypoint, "winpilot"));
    EXPECT_EQ(&waypoint_save_format(0), &file_format(FormatKind::Waypoint, "ozi"));
    EXPECT_EQ(&waypoint_save_format(17), &file_format(FormatKind::Waypoint, "ozi"));
}

TEST(WaypointDialogs, FileNameCompletion) {
    RecordingReporter r;
    std::string name = "my.dir/points";
    EXPECT_EQ(complete_waypoint_file_name(r, name, 5, true), 0);
    EXPECT_EQ(name, "my.dir/points.cup");
    name = "points.txt";
    EXPECT_EQ(complete_waypoint_file_name(r, name, 1, true), 0);
    EXPECT_EQ(name, "points.txt");
    name = "points";
    EXPECT_EQ(complete_waypoint_file_name(r, name, 9, true), 0);  // a "*.*" filter adds nothing
    EXPECT_EQ(name, "points");
    EXPECT_EQ(complete_waypoint_file_name(r, name, 4, false), 0);
    EXPECT_EQ(name, "points.gpx");
    name = "p";
    EXPECT_EQ(complete_waypoint_file_name(r, name, 7, false), 0);
    EXPECT_EQ(name, "p");
    EXPECT_EQ(r.count("error"), 0);

    name = std::string(253, 'a');
    EXPECT_EQ(complete_waypoint_file_name(r, name, 1, true), -1);
    EXPECT_EQ(name, std::string(253, 'a'));
    EXPECT_EQ(r.last_error().title, "Error opening file");
    EXPECT_EQ(r.last_error().text, "Too long file name");
}

TEST(WaypointDialogs, SaveSelectedRows) {
    TempDir dir;
    WaypointList list;
    RecordingReporter r;
    EXPECT_EQ(save_waypoints(r, list, {0}, dir.file("a.cup"), 5, false, false), 0);
    EXPECT_TRUE(r.boxes().empty());

    list.replace(sample());
    EXPECT_EQ(save_waypoints(r, list, {}, dir.file("a.cup"), 5, false, false), -1);
    EXPECT_EQ(r.last_error().text, "No waypoints selected");
    EXPECT_EQ(r.last_error().title, "Save waypoints");

    EXPECT_EQ(save_waypoints(r, list, {1}, dir.file("a.cup"), 13, false, false), 1);
    EXPECT_EQ(slurp(dir.file("a.cup")), seeyou_waypoint_text({sample()[1]}));
    EXPECT_EQ(r.statuses().back(), "a.cup: 1 waypoints written");
    EXPECT_EQ(r.boxes().back().kind, "notice");
    EXPECT_EQ(r.boxes().back().text, "File written");

    // An existing file: refusing the question leaves it as it was.
    RecordingReporter refuse;
    refuse.queue_answer(kBoxCancel);
    EXPECT_EQ(save_waypoints(refuse, list, {0, 1}, dir.file("a.cup"), 1, false, false), 0);
    EXPECT_EQ(refuse.boxes().at(0).text, "File already exists, overwrite ?");
    EXPECT_EQ(refuse.boxes().at(0).title, "File creation");
    EXPECT_EQ(slurp(dir.file("a.cup")), seeyou_waypoint_text({sample()[1]}));

    RecordingReporter remote;
    EXPECT_EQ(save_waypoints(remote, list, {0, 1}, dir.file("a.cup"), 1, true, true), 2);
    EXPECT_EQ(slurp(dir.file("a.cup")), ozi_waypoint_text(sample()));
    EXPECT_EQ(remote.count("notice"), 0);
    EXPECT_EQ(remote.count("question"), 0);
}

TEST(WaypointDialogs, ReadReplacesOrAppends) {
    TempDir dir;
    const std::string path = dir.file("in.dat");
    write_file_atomic(path, winpilot_waypoint_text(sample()));  // identifiers "1" and "2"

    WaypointList list;
    RecordingReporter r;
    EXPECT_EQ(read_waypoints_into(r, list, path, false), 2);
    EXPECT_EQ(r.statuses().back(), "2 waypoints read");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(r.count("yesno"), 0);  // nothing to append to

    RecordingReporter replace;
    replace.queue_answer(kBoxNo);
    EXPECT_EQ(read_waypoints_into(replace, list, path, false), 2);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(replace.boxes().at(0).text, "Append new waypoints to existing list ?");

    RecordingReporter append;
    append.queue_answer(kBoxYes);  // append
    append.queue_answer(kBoxYes);  // overwrite "1"
    append.queue_answer(kBoxYes);  // overwrite "2"
    list[0].comment = "changed";
    EXPECT_EQ(read_waypoints_into(append, list, path, false), 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].comment, "TAKEOF");
    EXPECT_EQ(append.boxes().at(1).text, "Waypoint 1 already exists, overwrite ?");

    // A failed read leaves the list alone.
    RecordingReporter bad;
    write_file_atomic(path, "garbage\n");
    EXPECT_EQ(read_waypoints_into(bad, list, path, false), -1);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(bad.count("yesno"), 0);
}

}  // namespace
}  // namespace orlogix
