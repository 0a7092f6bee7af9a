// The access dispatch table against the cells of the published table, and
// the registry the families fill.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <set>
#include <string>

#include "access/dispatch.hpp"
#include "access/instrument_catalogue.hpp"
#include "access/job_context.hpp"
#include "access/job_runner.hpp"
#include "support/recording_reporter.hpp"
#include "support/toy_family.hpp"

namespace orlogix {
namespace {

using R = Routine;

TEST(DispatchTable, SupportedCellsPerRowMatchTheTable) {
    // Number of non-empty cells per access type, counted from the table by hand.
    const int expected[kAccessTypeCount] = {10, 17, 1, 10, 2, 4, 2, 3, 1};
    for (int a = 0; a < kAccessTypeCount; ++a) {
        int n = 0;
        for (int p = 0; p < kProtocolTypeCount; ++p) n += dispatch_routine(a, p) != R::None;
        EXPECT_EQ(n, expected[a]) << "access type " << a;
    }
}

TEST(DispatchTable, SharedRoutinesWithinARow) {
    // XC Trainer reads track logs and writes waypoints with the Top Navigator
    // routine but reads waypoints with its own.
    EXPECT_EQ(dispatch_routine(AccessType::ReadTrackLog, ProtocolType::XcTrainer), R::TopNav);
    EXPECT_EQ(dispatch_routine(AccessType::WriteWaypoints, ProtocolType::XcTrainer), R::TopNav);
    EXPECT_EQ(dispatch_routine(AccessType::ReadWaypoints, ProtocolType::XcTrainer), R::Xct);
    EXPECT_EQ(dispatch_routine(AccessType::ReadTrackLog, ProtocolType::XcTrainerMxp), R::Mxp);
    EXPECT_EQ(dispatch_routine(AccessType::ReadTrackLog, ProtocolType::TopNavigatorMxp), R::Mxp);
    for (auto a : {AccessType::ReadWaypoints, AccessType::ReadTrackLog, AccessType::WriteWaypoints})
        EXPECT_EQ(dispatch_routine(a, ProtocolType::MlrFast), R::Mlr);
}

TEST(DispatchTable, SingleCellsAndHoles) {
    EXPECT_EQ(dispatch_routine(AccessType::ReadProductData, ProtocolType::LogIt), R::LogIt);
    EXPECT_EQ(dispatch_routine(AccessType::ReadProductData, ProtocolType::FlytecIq), R::None);
    EXPECT_EQ(dispatch_routine(AccessType::WritePilotData, ProtocolType::LogIt), R::LogItName);
    EXPECT_EQ(dispatch_routine(AccessType::EraseTrackLog, ProtocolType::Mtk), R::Mtk);
    EXPECT_EQ(dispatch_routine(AccessType::ReadCtr, ProtocolType::FlytecIq), R::Iq);
    EXPECT_EQ(dispatch_routine(AccessType::ReadCtr, ProtocolType::GarminSerial), R::None);
    EXPECT_EQ(dispatch_routine(AccessType::WriteCtr, ProtocolType::GarminUsb), R::GarminUsb);
    EXPECT_EQ(dispatch_routine(AccessType::ReadTrackLog, ProtocolType::FlytecAllTracks), R::IqAllTracks);
    EXPECT_EQ(dispatch_routine(AccessType::ReadWaypoints, ProtocolType::Dsx), R::None);
    EXPECT_EQ(dispatch_routine(AccessType::WriteTrackLog, ProtocolType::Mlr), R::None);
}

TEST(DispatchTable, IndicesOutOfRangeAreEmpty) {
    EXPECT_EQ(dispatch_routine(9, 0), R::None);
    EXPECT_EQ(dispatch_routine(-1, 0), R::None);
    EXPECT_EQ(dispatch_routine(1, 17), R::None);
    EXPECT_EQ(dispatch_routine(1, -1), R::None);
}

// The catalogue's rows against the link settings and the rules written out
// by hand from the published tables.
TEST(InstrumentCatalogue, OneRowPerShippedProtocolTypeWithItsLineSettings) {
    struct Line { int connect; bool xon_xoff; };
    const Line expected[kProtocolTypeCount] = {
        {9600, false},  {4800, false},  {9600, false},  {4800, false},  {57600, true},   {38400, false},
        {9600, false},  {57600, true},  {0, false},     {57600, false}, {57600, true},   {57600, true},
        {57600, false}, {9600, false},  {4800, false},  {115200, false}, {57600, false},
    };
    for (int p = 0; p < kProtocolTypeCount; ++p) {
        const auto protocol = static_cast<ProtocolType>(p);
        const InstrumentKind* kind = find_instrument(protocol);
        ASSERT_NE(kind, nullptr) << p;
        EXPECT_EQ(kind->connect_baud, expected[p].connect) << p;
        EXPECT_EQ(instrument_uses_xon_xoff(protocol), expected[p].xon_xoff) << p;
        int rows = 0;
        for (const InstrumentKind& k : instrument_catalogue()) rows += k.protocol == protocol;
        EXPECT_EQ(rows, 1) << p;
    }
    EXPECT_FALSE(instrument_uses_xon_xoff(static_cast<ProtocolType>(99)));
    EXPECT_EQ(find_instrument(ProtocolType::LogIt)->transfer_rates, (std::vector<int>{57600, 38400, 19200, 115200}));
}

TEST(InstrumentCatalogue, RawLogsKeptByTheFamiliesThatDeliverThem) {
    using F = InstrumentFamily;
    for (F f : {F::FlytecIq, F::Dsx, F::IqBasic}) {
        EXPECT_TRUE(raw_logs_kept(f).igc) << static_cast<int>(f);
        EXPECT_FALSE(raw_logs_kept(f).topnav) << static_cast<int>(f);
    }
    EXPECT_TRUE(raw_logs_kept(F::TopNavigator).topnav);
    EXPECT_FALSE(raw_logs_kept(F::TopNavigator).igc);
    for (F f : {F::File, F::Garmin, F::Mlr, F::LogIt, F::Graviter, F::Magellan, F::Flymaster, F::Mtk}) {
        EXPECT_FALSE(raw_logs_kept(f).igc) << static_cast<int>(f);
        EXPECT_FALSE(raw_logs_kept(f).topnav) << static_cast<int>(f);
    }
    // The rule is the family's: rows that share a family must agree on it.
    for (const InstrumentKind& a : instrument_catalogue())
        for (const InstrumentKind& b : instrument_catalogue())
            if (a.family == b.family) {
                EXPECT_EQ(a.keeps_raw_igc, b.keeps_raw_igc) << a.title << " / " << b.title;
                EXPECT_EQ(a.keeps_raw_topnav, b.keeps_raw_topnav) << a.title << " / " << b.title;
            }
}

TEST(InstrumentCatalogue, EntriesAndButtonsOnlyWhereTheRowHasTheRoutine) {
    std::set<int> ids;
    std::set<std::pair<std::string, bool>> names;
    for (const InstrumentKind& k : instrument_catalogue()) {
        for (const InstrumentEntry& e : k.entries) {
            EXPECT_TRUE(ids.insert(e.id).second) << e.id;
            // An entry the row cannot serve would stay greyed for good.
            EXPECT_NE(instrument_routine(k, e.access), R::None) << e.id;
        }
        for (const QuickButton& b : k.buttons) {
            bool own = false;
            for (const InstrumentEntry& e : k.entries) own = own || e.id == b.id;
            EXPECT_TRUE(own) << b.id;
        }
        if (k.gps_name) {
            EXPECT_TRUE(names.insert({k.gps_name, k.usb}).second) << k.gps_name;
        }
        if (k.usb) {
            EXPECT_NE(find_gps_name(k.gps_name, false), nullptr) << k.title;
        }
    }
    EXPECT_EQ(find_gps_name("GARMIN", true)->protocol, ProtocolType::GarminUsb);
    EXPECT_EQ(find_gps_name("MLR", true), nullptr);
    EXPECT_EQ(find_gps_name("garmin", false), nullptr);  // the command line raises the case first
}

TEST(InstrumentCatalogue, AToyRowJoinsTheDispatchTableAndIsBuiltOnceRegistered) {
    const InstrumentKind& toy = test::add_toy_family();
    const std::size_t rows = instrument_catalogue().size();
    EXPECT_EQ(dispatch_routine(AccessType::ReadTrackLog, test::kToyProtocol), test::kToyRoutine);
    EXPECT_EQ(dispatch_routine(AccessType::WriteWaypoints, test::kToyProtocol), R::None);
    EXPECT_TRUE(instrument_built(toy));
    EXPECT_TRUE(instrument_serves(toy, AccessType::ReadTrackLog));
    EXPECT_FALSE(instrument_serves(toy, AccessType::ReadWaypoints));  // in the row, not registered
    RoutineRegistry empty;
    EXPECT_FALSE(instrument_built(toy, empty));
    test::RecordingReporter r;
    EXPECT_EQ(checked_routine(r, AccessType::ReadTrackLog, test::kToyProtocol), test::kToyRoutine);
    EXPECT_EQ(r.count("error"), 0);
    EXPECT_EQ(checked_routine(r, AccessType::ReadTrackLog, static_cast<ProtocolType>(41)), R::None);
    EXPECT_EQ(r.last_error().text, "Bad protocol type");
    // A second row for a protocol type already there is ignored.
    add_instrument_kind({.protocol = test::kToyProtocol, .title = "Another toy"});
    EXPECT_EQ(instrument_catalogue().size(), rows);
    EXPECT_STREQ(find_instrument(test::kToyProtocol)->title, "Toy box");
}

TEST(RoutineRegistry, FindsWhatWasRegisteredPerAccessType) {
    RoutineRegistry reg;
    EXPECT_FALSE(reg.find(AccessType::ReadTrackLog, R::Garmin));
    reg.add(AccessType::ReadTrackLog, R::Garmin, [](JobContext&) { return 7; });
    reg.add(AccessType::WriteCtr, R::Garmin, [](JobContext&) { return 9; });
    auto fn = reg.find(AccessType::ReadTrackLog, R::Garmin);
    ASSERT_TRUE(fn);
    EXPECT_FALSE(reg.find(AccessType::ReadWaypoints, R::Garmin));
    EXPECT_FALSE(reg.find(AccessType::ReadTrackLog, R::Mlr));
    auto ctr = reg.find(AccessType::WriteCtr, R::Garmin);
    ASSERT_TRUE(ctr);
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial);
    EXPECT_EQ(fn(ctx), 7);
    EXPECT_EQ(ctr(ctx), 9);
    reg.clear();
    EXPECT_FALSE(reg.find(AccessType::ReadTrackLog, R::Garmin));
}

TEST(RoutineRegistry, ReadFromManyThreadsWhileFilled) {
    RoutineRegistry reg;
    std::vector<std::thread> readers;
    std::atomic<int> found{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                if (reg.find(AccessType::ReadWaypoints, R::Magellan)) ++found;
        });
    reg.add(AccessType::ReadWaypoints, R::Magellan, [](JobContext&) { return 0; });
    for (auto& t : readers) t.join();
    EXPECT_TRUE(reg.find(AccessType::ReadWaypoints, R::Magellan));
    EXPECT_LE(found.load(), 8000);
}

void register_test_family(RoutineRegistry& reg) {
    reg.add(AccessType::EraseTrackLog, R::Mtk, [](JobContext&) { return 3; });
}

TEST(RoutineRegistry, FamilyRegistrationsRunOnce) {
    job_routines().clear();
    add_family_registration(&register_test_family);
    EXPECT_FALSE(job_routines().find(AccessType::EraseTrackLog, R::Mtk));
    register_all_families();
    EXPECT_TRUE(job_routines().find(AccessType::EraseTrackLog, R::Mtk));
    job_routines().clear();
    register_all_families();   // nothing pending any more
    EXPECT_FALSE(job_routines().find(AccessType::EraseTrackLog, R::Mtk));
}

}  // namespace
}  // namespace orlogix
