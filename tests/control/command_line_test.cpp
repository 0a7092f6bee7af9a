#include <gtest/gtest.h>

#include <set>

#include "control/command_line.hpp"
#include "core/time.hpp"
#include "support/toy_family.hpp"

namespace orlogix {
namespace {

struct Parsed {
    int result;
    CommandLine c;
    std::string error;
};

Parsed parse(std::string_view text) {
    Parsed p;
    CommandLineError e;
    p.result = parse_command_line(text, p.c, e);
    p.error = e.text;
    return p;
}

void expect_error(std::string_view text, const std::string& error) {
    Parsed p = parse(text);
    EXPECT_EQ(p.result, -1) << text;
    EXPECT_EQ(p.error, error) << text;
}

TEST(CommandLineParse, TypicalDownloadWithLowerCaseKeywords) {
    Parsed p = parse("/gps=garmin /kml_log=c:\\logs\\$date.kml /exit");
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.c.operation, CommandOperation::KmlLog);
    EXPECT_EQ(p.c.gps, find_gps_name("GARMIN", false));
    EXPECT_EQ(p.c.file_name, "c:\\logs\\$date.kml");  // values keep their case
    EXPECT_TRUE(p.c.exit);
    EXPECT_TRUE(p.c.port_name.empty());
    EXPECT_EQ(protocol_type_for(p.c), 0);
}

TEST(CommandLineParse, EveryGpsNameMapsToItsProtocolType) {
    const std::pair<const char*, int> table[] = {
        {"GARMIN", 0}, {"MLR", 1}, {"TOPNAV", 2}, {"LOGIT", 3}, {"IQCOMPEO", 4}, {"GRAVITER", 5},
        {"MAGELLAN", 6}, {"XCTRAINER", 7}, {"XCT_MXP", 10}, {"FLYMASTER", 12}, {"DSX", 13},
        {"IQBASIC", 16}, {"MTK", 15},
    };
    for (auto [name, type] : table) {
        Parsed p = parse(std::string("/GPS=") + name + " /KML_LOG=x.kml");
        ASSERT_EQ(p.result, 0) << name << ": " << p.error;
        EXPECT_EQ(protocol_type_for(p.c), type) << name;
        EXPECT_EQ(baud_value_for(p.c), std::string(name) == "LOGIT" || std::string(name) == "XCT_MXP" ? 57600 : 0);
    }
    Parsed mlrc = parse("/GPS=mlrc /RD_WPT=w.wpt");
    ASSERT_EQ(mlrc.result, 0);
    EXPECT_EQ(protocol_type_for(mlrc.c), 14);
    Parsed usb = parse("/GPS=GARMIN /USB /KML_LOG=x.kml");
    ASSERT_EQ(usb.result, 0);
    EXPECT_EQ(protocol_type_for(usb.c), 8);
    expect_error("/GPS=ETREX", "Bad GPS type: ETREX");
}

TEST(CommandLineParse, ErrorsNameTheTokenAndAClosePossibleName) {
    const std::pair<const char*, const char*> table[] = {
        {"/GSP=GARMIN", "Unrecognized command: /GSP=GARMIN"},
        {"/gps=garmin /kml_log=a.kml /exiit", "Unrecognized command: /exiit"},
        {"/PILOT=\"Jo Smith\" /FOO=\"a b\" /EXIT", "Unrecognized command: /FOO=\"a b\""},
        {"/GPS=GARMN", "Bad GPS type: GARMN (did you mean GARMIN?)"},
        {"/gps=flymastr", "Bad GPS type: flymastr (did you mean FLYMASTER?)"},
        {"/GPS=IQCMOPEO", "Bad GPS type: IQCMOPEO (did you mean IQCOMPEO?)"},  // two letters swapped
        {"/GPS=XCT-MXP", "Bad GPS type: XCT-MXP (did you mean XCT_MXP?)"},
        {"/GPS=MLX", "Bad GPS type: MLX (did you mean MLR?)"},
        {"/GPS=ETREX", "Bad GPS type: ETREX"},  // nothing close
        {"/GPS=GM", "Bad GPS type: GM"},        // two edits from a three-letter name is another word
        {"/GPS=", "Bad GPS type: "},
    };
    for (auto [line, error] : table) expect_error(line, error);
}

TEST(CommandLineParse, LongValuesAreKeptWhole) {
    // Far beyond the 260 characters of another platform's file names.
    const std::string folder = std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(120, 'c');
    Parsed p = parse("/GPS=GARMIN /OZI_LOG=" + folder + "/flight-2021.plt /EXIT");
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.c.file_name, folder + "/flight-2021.plt");
    EXPECT_TRUE(p.c.exit);
    Parsed quoted = parse("/IGC_LOG=\"" + folder + "/my flights/\"");
    ASSERT_EQ(quoted.result, 0) << quoted.error;
    EXPECT_EQ(quoted.c.file_name, folder + "/my flights/");
    // Fields with their own limits keep them.
    Parsed pilot = parse("/PILOT=" + std::string(100, 'p') + " /ID=" + std::string(30, 'i'));
    EXPECT_EQ(pilot.c.pilot.size(), 80u);
    EXPECT_EQ(pilot.c.glider_id.size(), 20u);
}

TEST(CommandLineUsage, ListsFormsOperationsGpsNamesAndExitCodes) {
    const std::string text = usage_text([](const InstrumentKind& k) { return k.protocol == ProtocolType::GarminSerial; });
    for (const char* part : {"orlogix --help", "/KML_LOG=<file>", "/IGC_LOG=<folder/ or file>", "/RD_WPT=<file>",
                             "/WR_CTR=<file>", "/CHKKML=<file>", "/GPS=<name>", "/COM=<n or device>", "/WIN=<0, 1 or 2>",
                             "/EXIT ", "/TIMEOUT=<seconds>", "\n  GARMIN\n", "\n  MLR (not built yet)\n",
                             "\n  MTK (not built yet)\n", "\n  0  ", "\n  1  ", "\n  2  ", "Nothing to do",
                             "orlogix-sim --family garmin"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

// Which operation groups each GPS name may be named for, written out from
// the published lists; the rows of the catalogue must give the same answers.
TEST(CommandLineParse, EachOperationAcceptsExactlyItsInstruments) {
    struct Case { const char* op; const char* refusal; std::set<std::string> allowed; };
    const std::set<std::string> all = {"GARMIN", "MLR", "TOPNAV", "LOGIT", "IQCOMPEO", "GRAVITER", "MAGELLAN",
                                       "XCTRAINER", "XCT_MXP", "FLYMASTER", "DSX", "MLRC", "IQBASIC", "MTK"};
    auto all_but = [&](std::initializer_list<const char*> out) {
        std::set<std::string> s = all;
        for (const char* o : out) s.erase(o);
        return s;
    };
    const Case cases[] = {
        {"/KML_LOG=a.kml", "Unsupported GPS for track log download", all_but({"MLRC"})},
        {"/OZI_LOG=a.plt", "Unsupported GPS for track log download", all_but({"MLRC"})},
        {"/IGC_LOG=dir/", "Unsupported GPS for IGC track log download", all_but({"TOPNAV", "GRAVITER", "MLRC"})},
        {"/RD_GEO_WPT=w.geo", "Unsupported GPS for waypoint download",
         {"GARMIN", "MLR", "IQCOMPEO", "FLYMASTER", "MLRC", "IQBASIC"}},
        {"/WR_WPT2=w.wpt", "Unsupported GPS for track log upload",
         {"GARMIN", "MLR", "TOPNAV", "IQCOMPEO", "MAGELLAN", "XCTRAINER", "FLYMASTER", "IQBASIC"}},
        {"/WR_CTR=a.txt", "Unsupported GPS for CTR upload", {"GARMIN", "IQCOMPEO"}},
        {"/USERNAME=Jo", "Unsupported GPS for username upload", {"FLYMASTER"}},
    };
    for (const Case& c : cases) {
        for (const std::string& gps : all) {
            Parsed p = parse("/GPS=" + gps + " " + c.op);
            if (c.allowed.count(gps)) EXPECT_EQ(p.result, 0) << gps << " " << c.op << ": " << p.error;
            else EXPECT_EQ(p.error, c.refusal) << gps << " " << c.op;
        }
    }
}

TEST(CommandLineParse, AFamilyAddedByItsCatalogueRowIsAcceptedAndListed) {
    const InstrumentKind& toy = test::add_toy_family();
    Parsed p = parse("/gps=toybox /KML_LOG=x.kml");
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.c.gps, &toy);
    EXPECT_EQ(protocol_type_for(p.c), static_cast<int>(test::kToyProtocol));
    EXPECT_EQ(baud_value_for(p.c), 0);
    // Its row allows track downloads only, and it has no USB twin.
    expect_error("/GPS=TOYBOX /RD_WPT=w.wpt", "Unsupported GPS for waypoint download");
    expect_error("/GPS=TOYBOX /USB /KML_LOG=x.kml", "USB is not supported");
    expect_error("/GPS=TOYBXO", "Bad GPS type: TOYBXO (did you mean TOYBOX?)");
    const std::string help = usage_text([](const InstrumentKind& k) { return instrument_built(k); });
    EXPECT_NE(help.find("\n  TOYBOX\n"), std::string::npos) << help;
}

TEST(CommandLineParse, UsbOnlyWithGarmin) {
    expect_error("/GPS=FLYMASTER /USB /KML_LOG=x.kml", "USB is not supported");
    // USERNAME does not check USB, only that the instrument is a Flymaster.
    EXPECT_EQ(parse("/GPS=FLYMASTER /USB /USERNAME=Jo").result, 0);
    expect_error("/GPS=GARMIN /USERNAME=Jo", "Unsupported GPS for username upload");
}

TEST(CommandLineParse, WindowModesAndTimeoutLimits) {
    expect_error("/WIN=3", "Bad window size");
    EXPECT_EQ(parse("/WIN=0").c.window_mode, WindowMode::Hidden);
    EXPECT_EQ(parse("/WIN=1").c.window_mode, WindowMode::Minimised);
    EXPECT_EQ(parse("/TIMEOUT=100000").c.timeout, 86400);
    EXPECT_EQ(parse("/TIMEOUT=99999999999999999999").c.timeout, 86400);
    EXPECT_EQ(parse("/TIMEOUT=-5").c.timeout, 0);
    EXPECT_EQ(parse("/TIMEOUT=5").c.timeout, 5);
    expect_error("/TIMEOUT=5s", "Bad TIMEOUT value");
    expect_error("/TIMEOUT", "Bad TIMEOUT value");
}

TEST(CommandLineParse, LongKeywordIsCutToSixteenThenUnrecognized) {
    expect_error("/ABCDEFGHIJKLMNOPQRST=1", "Unrecognized command: /ABCDEFGHIJKLMNOPQRST=1");
    // Cut to 16 it would read KML_LOGXXXXXXXXX: still unknown, not KML_LOG.
    expect_error("/KML_LOGXXXXXXXXXXXX=a.kml", "Unrecognized command: /KML_LOGXXXXXXXXXXXX=a.kml");
}

TEST(CommandLineParse, TokenizerErrorsGiveOneBasedPosition) {
    expect_error("/EXIT x", "Error at position 7");
    expect_error("/EXIT /GPS=GARMIN q", "Error at position 19");
}

TEST(CommandLineParse, QuotedValuesKeepBlanks) {
    Parsed p = parse("/GPS=GARMIN /KML_LOG=\"my flights/a b.kml\" /EXIT");
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.c.file_name, "my flights/a b.kml");
    EXPECT_TRUE(p.c.exit);
    // An unclosed quote runs to the end of the text.
    Parsed open = parse("/PILOT=\"Jo Smith");
    ASSERT_EQ(open.result, 0);
    EXPECT_EQ(open.c.pilot, "Jo Smith");
}

TEST(CommandLineParse, BareOrQuotedFileNameOpensATrackLog) {
    Parsed bare = parse("flight.igc");
    ASSERT_EQ(bare.result, 0);
    EXPECT_EQ(bare.c.operation, CommandOperation::LogFile);
    EXPECT_EQ(bare.c.file_name, "flight.igc");
    Parsed quoted = parse("\"my flight.igc\" ignored rest");
    ASSERT_EQ(quoted.result, 0);
    EXPECT_EQ(quoted.c.operation, CommandOperation::LogFile);
    EXPECT_EQ(quoted.c.file_name, "my flight.igc");
    expect_error("\"unbalanced.igc", "Bad double apostrophe (\") balance");
}

TEST(CommandLineParse, MissingValuesHaveTheirOwnTexts) {
    expect_error("/KML_LOG", "Missing log file name");
    expect_error("/IGC_LOG=", "Missing log file directory name");
    expect_error("/RD_WPT", "Missing wpt file name");
    expect_error("/WR_CTR", "Missing CTR file name");
    expect_error("/CHKKML", "Missing file name");
    expect_error("/IGC2KML", "Missing IGC/KML file name");
    expect_error("/DAT2KML", "Missing DAT/KML file name");
    expect_error("/LOGFILE", "Missing track log file name");
    expect_error("/XC_SCORE=f.igc /XC_RULES=OLC", "Unknown contest rules: OLC");
    expect_error("/XC_SCORE=f.igc /XC_OUT=", "Missing GeoJSON file name");
    expect_error("/COMP_DIR", "Missing competition directory name");
    expect_error("/COMP_FS", "Missing flight score file name");
    expect_error("/NOTIFY", "Missing window class name");
    expect_error("/SESSION", "Missing session number");
    expect_error("/USERNAME", "Missing username");
}

TEST(CommandLineParse, NumericOptions) {
    expect_error("/COM=0", "Bad COM port");
    expect_error("/COM=3a", "Bad COM port");
    EXPECT_EQ(parse("/COM=3").c.port_name, "COM3");
    EXPECT_EQ(parse("/COM=12").c.port_name, "COM12");
    EXPECT_EQ(parse("/COM=/dev/ttyUSB0").c.port_name, "/dev/ttyUSB0");
    EXPECT_EQ(parse("/COMPID=\" 42 \"").c.comp_id, 42);
    EXPECT_EQ(parse("/COMPID=").c.comp_id, 0);
    expect_error("/COMPID=-1", "Bad COMPID value");
    expect_error("/CIVLID=x", "Bad CIVLID value");
    EXPECT_EQ(parse("/CIVLID=12345").c.civl_id, 12345);
    expect_error("/SESSION=1x", "Bad session number");
    EXPECT_EQ(parse("/SESSION=7").c.session, 7u);
    expect_error("/SENDLOG=-1", "Bad SENDLOG value");
    EXPECT_EQ(parse("/POSX=-20 /POSY=30").c.message_x, -20);
    expect_error("/POSY=abc", "Bad POSX value");
    expect_error("/COMP_LOG=PDF", "Bad competition fle type");
    EXPECT_EQ(parse("/COMP_LOG=igc").c.comp_file_type, CompFileType::Igc);
}

TEST(CommandLineParse, FilterWindowMustBeOrdered) {
    Parsed p = parse("/FILTER=20110501120000 /FILTEREND=20110501180000");
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.c.filter_start, time_from_calendar(2011, 5, 1, 12, 0, 0));
    EXPECT_EQ(p.c.filter_end, time_from_calendar(2011, 5, 1, 18, 0, 0));
    expect_error("/FILTER=2011050112000", "Bad track log start filter time");
    expect_error("/FILTER=20111301120000", "Bad track log start filter time");
    expect_error("/FILTEREND=20110501240000", "Bad track log stop filter time");
    expect_error("/FILTEREND=20110501120000 /FILTER=20110501120000", "Comp. stop time before start time");
    expect_error("/FILTER=20110501120000 /FILTEREND=20110501115959", "Comp. start time after end time");
}

TEST(CommandLineParse, OperationChecksPerInstrument) {
    expect_error("/GPS=MLRC /KML_LOG=a.kml", "Unsupported GPS for track log download");
    expect_error("/GPS=TOPNAV /IGC_LOG=dir/", "Unsupported GPS for IGC track log download");
    expect_error("/GPS=MAGELLAN /RD_WPT=w.wpt", "Unsupported GPS for waypoint download");
    expect_error("/GPS=DSX /WR_WPT=w.wpt", "Unsupported GPS for track log upload");
    expect_error("/GPS=FLYMASTER /WR_CTR=a.txt", "Unsupported GPS for CTR upload");
    Parsed iq = parse("/GPS=IQBASIC /RD_WPT=w.wpt");
    ASSERT_EQ(iq.result, 0);
    EXPECT_EQ(protocol_type_for(iq.c), 16);
}

TEST(CommandLineParse, FirstErrorStopsParsing) {
    Parsed p = parse("/WIN=9 /GPS=NOPE");
    EXPECT_EQ(p.error, "Bad window size");
}

TEST(JoinArguments, QuotesValuesWithBlanksSoTheyStayWhole) {
    const char* argv[] = {"orlogix", "/GPS=GARMIN", "/KML_LOG=my dir/a.kml", "/EXIT"};
    std::string line = join_arguments(4, argv);
    EXPECT_EQ(line, "/GPS=GARMIN /KML_LOG=\"my dir/a.kml\" /EXIT");
    Parsed p = parse(line);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.c.file_name, "my dir/a.kml");
    const char* bare[] = {"orlogix", "my flight.igc"};
    EXPECT_EQ(parse(join_arguments(2, bare)).c.file_name, "my flight.igc");
}

}  // namespace
}  // namespace orlogix
