#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using test::data_bytes;

struct Want {
    std::string name;
    int32_t comp, civl;
};

void expect_pilots(const PilotListDecode& d, const std::vector<Want>& want) {
    ASSERT_TRUE(d.ok()) << d.error;
    ASSERT_EQ(d.pilots.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(d.pilots[i].name, want[i].name) << i;
        EXPECT_EQ(d.pilots[i].comp_id, want[i].comp) << i;
        EXPECT_EQ(d.pilots[i].civl_id, want[i].civl) << i;
    }
}

TEST(PilotListFs, GeneratedDatabaseGivesTheCompetitionsParticipantsOnly) {
    const PilotListDecode d = decode_pilot_list(data_bytes("competition/fs_generated.fsdb"));
    ASSERT_TRUE(d.ok()) << d.error;
    // The two tasks repeat all 100 as id-only elements; they add nobody.
    ASSERT_EQ(d.pilots.size(), 100u);
    EXPECT_EQ(d.pilots[0].name, "Björn Rossi");
    EXPECT_EQ(d.pilots[0].comp_id, 101);
    EXPECT_EQ(d.pilots[0].civl_id, 10037);
    EXPECT_EQ(d.pilots[4].name, "Smith & Sons <Team>");
    EXPECT_EQ(d.pilots[6].civl_id, 777);    // no CIVLID: the FsCivlPilot id
    EXPECT_EQ(d.pilots[13].civl_id, -1);    // no CIVLID at all
    EXPECT_EQ(d.pilots[10].civl_id, -1);    // CIVLID=""
    EXPECT_EQ(d.pilots[99].comp_id, 200);
}

TEST(PilotListFs, RootParticipantsAndRaceByHand) {
    expect_pilots(decode_pilot_list(data_bytes("competition/fs_root_participants.fsdb")),
                  {{"Root Level", 4, 55}, {"X", -1, -1}});
    expect_pilots(decode_pilot_list(data_bytes("competition/race_hand.xml")),
                  {{"Anna Berg", 12, 34567}, {"Solo", 3, -1}, {"Jürg M&M Team", -1, -1}});
}

TEST(PilotList, RefusedFilesNameTheirFault) {
    const std::string fs = "<?xml version=\"1.0\"?><Fs><FsCompetition><FsParticipants>";
    const std::string end = "</FsParticipants></FsCompetition></Fs>";
    const std::string race = "<RACE><tblPilots>";
    const std::string race_end = "</tblPilots></RACE>";
    const std::string long_name(81, 'a');
    const struct {
        std::string text, error;
    } cases[] = {
        {"", "No pilots found"},
        {"Name,CompId,CivlId\r\n", "No pilots found"},
        {fs + end, "No pilots found"},
        {"<Foo/>", "Missing opening tag '<?xml>'"},
        {"junk<?xml version=\"1.0\"?><Fs/>", "Unknown BOM before opening tag '<?xml>'"},
        {"\xEF\xBB\xBFx<RACE></RACE>", "Unknown BOM before opening tag '<RACE>'"},
        {fs + "<FsParticipant/>" + end, "Missing data for pilot 1 in list"},
        {fs + "<FsParticipant name=\"A\"/><FsParticipant id=\"2\"/>" + end, "Missing name for pilot 2 in list"},
        {fs + "<FsParticipant name=\"A\" id=\"-1\"/>" + end, "Bad/missing comp. ID for pilot 1 in list"},
        {fs + "<FsParticipant name=\"A\" id=\"2147483648\"/>" + end, "Bad/missing comp. ID for pilot 1 in list"},
        {fs + "<FsParticipant name=\"A\" CIVLID=\"x1\"/>" + end, "Bad CIVL ID for pilot 1 in list"},
        {fs + "<FsParticipant name=\"A\"><FsCivlPilot id=\"-3\"/></FsParticipant>" + end,
         "Bad CIVL ID for pilot 1 in list"},
        {fs + "<FsParticipant name=\"A\">" + end, "Tag <FsParticipant> is terminated by <FsParticipants>"},
        {fs + "<FsParticipant name=\"A\"", "End-of-file encountered within a tag"},
        {fs, "Nesting level not zero at end-of-file"},
        {race + "<tblPilot/>" + race_end, "Missing data for pilot 1 in list"},
        {race + "<tblPilot pilLastName=\"\"/>" + race_end, "Missing name for pilot 1 in list"},
        {race + "<tblPilot pilFirstName=\"" + long_name + "\"/>" + race_end, "Name too long for pilot 1 in list"},
        {race + "<tblPilot pilFirstName=\"A\" pilNumber=\"1.5\"/>" + race_end,
         "Bad/missing pilot ID for pilot 1 in list"},
        {race + "<tblPilot pilFirstName=\"A\" pilIDGlobal=\"-7\"/>" + race_end,
         "Bad/missing CIVL ID for pilot 1 in list"},
        {"Anna,12x\r\n", "Bad CompId number"},
        {"Anna,,99999999999\r\n", "Bad CivlId number"},
    };
    for (const auto& c : cases) {
        const PilotListDecode d = decode_pilot_list(c.text);
        EXPECT_EQ(d.error, c.error) << c.text;
        EXPECT_TRUE(d.pilots.empty());
    }
}

TEST(PilotListCsv, LinesFieldsAndNumbers) {
    const std::string text =
        "\xEF\xBB\xBF"
        "NAME,CompId\r\n"
        "Anna Berg,12,\r\n"
        "  Two   Blanks ,+ 7 , -3\n"
        ",5,6\r\r\n"
        "\"Berg, \"\"A\"\"\",1,2,dev1,\"d,2\",,d4,extra,commas\n"
        "M\xFCller \x80,,\n";  // Windows-1252
    const PilotListDecode d = decode_csv_pilots(text);
    expect_pilots(d, {{"Anna Berg", 12, -1},
                      {"Two Blanks", 7, -1},
                      {"Berg, \"A\"", 1, 2},
                      {"Müller €", -1, -1}});
    EXPECT_EQ(d.pilots[2].devices[0], "dev1");
    EXPECT_EQ(d.pilots[2].devices[1], "d,2");
    EXPECT_EQ(d.pilots[2].devices[3], "d4,extra,commas");
    // Cuts fall on character boundaries: 80 characters of name, 50 bytes of device.
    std::string long_name;
    for (int i = 0; i < 90; ++i) long_name += "é";
    const PilotListDecode cut = decode_csv_pilots(long_name + ",,," + std::string(49, 'x') + "é\r\n");
    ASSERT_TRUE(cut.ok());
    EXPECT_EQ(cut.pilots[0].name.size(), 160u);
    EXPECT_EQ(cut.pilots[0].devices[0], std::string(49, 'x'));
}

TEST(PilotListCsv, WriterMatchesPythonsAndRoundTrips) {
    const std::string python = data_bytes("competition/pilots_python.csv");
    const PilotListDecode d = decode_pilot_list(python);
    ASSERT_TRUE(d.ok()) << d.error;
    ASSERT_EQ(d.pilots.size(), 4u);
    EXPECT_EQ(d.pilots[1].name, "Berg, Anna");
    EXPECT_EQ(d.pilots[2].devices[0], "A,B");
    // Python's csv module quotes as we do, so it reads our text to the same fields.
    EXPECT_EQ(encode_pilot_list_csv(d.pilots), python.substr(3));
    EXPECT_EQ(encode_pilot_list_csv({}), "Name,CompId,CivlId,Device1,Device2,Device3,Device4\r\n");
    const std::string twice = encode_pilot_list_csv(decode_csv_pilots(encode_pilot_list_csv(d.pilots)).pilots);
    EXPECT_EQ(twice, encode_pilot_list_csv(d.pilots));
}

TEST(PilotListFile, ReadKeepsTheListOnEveryFailureAndAsksOnlyForDialogChoices) {
    const std::string dir = testing::TempDir() + "/pilot_list_file";
    std::filesystem::create_directories(dir);
    PilotList list;
    test::RecordingReporter r;
    std::string path = dir + "/missing";
    EXPECT_EQ(read_pilot_list(r, path, list, PilotListOrigin::Named), -1);
    EXPECT_EQ(r.last_error().title, "Error opening database file");
    EXPECT_EQ(path, dir + "/missing");

    path = std::string(ORLOGIX_TEST_DATA) + "/competition/race_hand.xml";
    ASSERT_EQ(read_pilot_list(r, path, list, PilotListOrigin::Named), 0);
    ASSERT_EQ(list.size(), 3u);
    path = std::string(ORLOGIX_TEST_DATA) + "/competition/fs_root_participants.fsdb";
    r.queue_answer(kBoxNo);
    EXPECT_EQ(read_pilot_list(r, path, list, PilotListOrigin::Dialog), -1);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(r.boxes().back().text, "Current list will be overwritten, continue ?");

    // Written and read back: names, numbers and devices survive.
    list.pilots[0].devices[2] = "Garmin, 1";
    const std::string csv = dir + "/list.csv";
    std::filesystem::remove(csv);
    ASSERT_EQ(write_pilot_list(r, csv, list), 1);
    EXPECT_EQ(write_pilot_list(r, csv, list), 0);  // exists, overwrite refused
    std::string back_path = csv;
    PilotList back;
    ASSERT_EQ(read_pilot_list(r, back_path, back, PilotListOrigin::Dialog), 0);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back.pilots[0].devices, list.pilots[0].devices);
    EXPECT_EQ(back.pilots[2].name, list.pilots[2].name);
    EXPECT_EQ(write_pilot_list(r, csv, PilotList{}), -1);
    EXPECT_EQ(r.last_error().text, "No pilot list stored");
}

TEST(PilotDevices, TheChosenEntryGetsTheSerialOnce) {
    PilotList list;
    list.pilots = {{"Anna", -1, 1, {}}, {"Anna", -1, 2, {}}};
    const PilotRecord anna{"Anna", -1, 2, {}};
    EXPECT_TRUE(add_device_to_pilot(list, 1, anna, "GPS 1"));
    EXPECT_FALSE(add_device_to_pilot(list, 1, anna, "gps 1"));
    EXPECT_TRUE(list.pilots[0].devices[0].empty());  // the namesake keeps nothing of it
    // Without a choice: the first with the same name and numbers.
    EXPECT_TRUE(add_device_to_pilot(list, -1, anna, "GPS 2"));
    EXPECT_EQ(list.pilots[1].devices[1], "GPS 2");
    EXPECT_TRUE(add_device_to_pilot(list, 1, anna, "GPS 3"));
    EXPECT_TRUE(add_device_to_pilot(list, 1, anna, "GPS 4"));
    EXPECT_FALSE(add_device_to_pilot(list, 1, anna, "GPS 5"));  // four filled
    EXPECT_FALSE(add_device_to_pilot(list, -1, PilotRecord{"Nobody", -1, -1, {}}, "GPS 6"));
}

}  // namespace
}  // namespace orlogix
