// The access dispatch table against the cells of the published table, and
// the registry the families fill.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "support/recording_reporter.hpp"

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
