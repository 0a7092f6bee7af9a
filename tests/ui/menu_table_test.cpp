// The command table behind menus, accelerators and quick buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QPushButton>

#include <map>
#include <set>

#include "support/toy_family.hpp"
#include "ui/menu_table.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

TEST(MenuTable, IdsAreUniqueAndEveryAcceleratorIsBoundOnce) {
    std::set<int> ids;
    std::map<std::string, int> keys;
    for (const MenuEntry& e : menu_table()) {
        EXPECT_TRUE(ids.insert(e.id).second) << e.id;
        std::string k = entry_shortcut(e);
        if (!k.empty()) ++keys[k];
        if (e.extra_keys) ++keys[e.extra_keys];
    }
    const char* expected[] = {"Ctrl+Alt+0", "Ctrl+1", "Ctrl+Alt+1", "Ctrl+2", "Ctrl+Alt+2", "Ctrl+3", "Ctrl+4",
                              "Ctrl+A",     "Ctrl+C", "Ctrl+Alt+C", "Ctrl+Shift+C", "Ctrl+E", "Ctrl+F", "Ctrl+G",
                              "Ctrl+I",     "Ctrl+L", "Ctrl+M",     "Ctrl+N", "Ctrl+O", "Ctrl+R", "Ctrl+S",
                              "Ctrl+T",     "Ctrl+Alt+T", "Ctrl+U", "Ctrl+V", "Ctrl+W", "Ctrl+X", "Ctrl+Y"};
    for (const char* k : expected) EXPECT_EQ(keys[k], 1) << k;
    EXPECT_EQ(keys.size(), std::size(expected));
}

TEST(MenuTable, LabelsAndShortcutsSplitAtTheTab) {
    const MenuEntry* save = find_menu_entry(40115);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(entry_label(*save), "&Save log (DezuvaDar/.kml)");
    EXPECT_EQ(entry_shortcut(*save), "Ctrl+S");
    const MenuEntry* all = find_menu_entry(40042);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(entry_shortcut(*all), "Ctrl+A");  // written "Ctrl-A" in the menu
    EXPECT_EQ(entry_shortcut(*find_menu_entry(40116)), "");
    const MenuEntry* xct = find_menu_entry(40091);
    ASSERT_TRUE(xct->job);
    EXPECT_EQ(xct->job->protocol, ProtocolType::XcTrainerMxp);
    EXPECT_EQ(xct->job->baud, 57600);
    EXPECT_EQ(xct->job->completion, Completion::TrackLog);
    EXPECT_EQ(find_menu_entry(40096)->job->naming, 2);
    EXPECT_EQ(find_menu_entry(40017)->job->access, AccessType::WriteTrackLog);
    EXPECT_EQ(find_menu_entry(40017)->job->completion, Completion::Written);
    EXPECT_EQ(find_menu_entry(40109)->job->completion, Completion::CtrRead);
    EXPECT_FALSE(find_menu_entry(40115)->job);
}

// Instrument entries come from the catalogue's rows and the window's own from
// its table; the menus must still show them in the published order.
TEST(MenuTable, MenusInterleaveInstrumentAndOwnEntriesInTheirOrder) {
    auto ids_of = [](const char* menu) {
        std::vector<int> ids;
        for (const MenuEntry& e : menu_table())
            if (e.menu && std::string(e.menu) == menu && e.id < 49000) ids.push_back(e.id);
        return ids;
    };
    EXPECT_EQ(ids_of("&Logs"), (std::vector<int>{40029, 40075, 40054, 40119, 40085, 40120, 40091, 40071, 40090, 40039,
                                                 40010, 40011, 40012, 40069, 40004, 40137, 40058, 40056, 40065, 40126,
                                                 40148, 40154, 40155}));
    EXPECT_EQ(ids_of("&CTR"), (std::vector<int>{40098, 40099, 40106, 40107, 40109, 40110, 40100, 40108, 40104, 40105,
                                                40111, 40112, 40149}));
    EXPECT_EQ(ids_of("&Misc"), (std::vector<int>{40006, 40124, 40151, 40088, 40136, 40172, 40095, 40094, 40017, 40092,
                                                 40144, 40142, 40014, 40015, 40016, 40166, 40145, 40157, 40180, 40146, 40153,
                                                 40156, 40173, 40121}));
    const std::vector<int> wpts = ids_of("W&pts");
    ASSERT_EQ(wpts.size(), 30u);
    EXPECT_EQ(std::vector<int>(wpts.begin(), wpts.begin() + 12),
              (std::vector<int>{40027, 40078, 40055, 40086, 40158, 40033, 40150, 40066, 40053, 40076, 40167, 40021}));
    EXPECT_EQ(wpts.back(), 40164);
}

using MenuWindow = test::WindowTest;

TEST_F(MenuWindow, InstrumentEntriesFollowTheRegisteredFamilies) {
    MainWindow& w = open_window();
    // Every shipped family is built: each entry and button of the catalogue is on.
    for (const InstrumentKind& kind : instrument_catalogue()) {
        for (const InstrumentEntry& e : kind.entries) EXPECT_TRUE(w.action(e.id)->isEnabled()) << e.id;
        for (const QuickButton& b : kind.buttons) EXPECT_TRUE(w.button(b.id)->isEnabled()) << b.id;
    }
    EXPECT_TRUE(w.action(40100)->isEnabled());   // CTR files
    EXPECT_TRUE(w.action(40173)->isEnabled());   // the server
    EXPECT_EQ(w.action(40029)->text().toStdString(), "Read &Garmin");
    EXPECT_EQ(w.action(40029)->shortcut().toString().toStdString(), "Ctrl+G");
    EXPECT_EQ(w.action(40130)->shortcuts().size(), 2);
    // Every table entry with a menu is in the menu bar.
    int in_menus = 0;
    for (QAction* top : w.menuBar()->actions()) in_menus += static_cast<int>(top->menu()->actions().size());
    int with_menu = 0;
    for (const MenuEntry& e : menu_table()) with_menu += e.menu ? 1 : 0;
    EXPECT_EQ(in_menus, with_menu);
}

TEST_F(MenuWindow, AToyFamilyLightsUpFromItsRowAndRegistrationAlone) {
    orlogix::test::add_toy_family();
    MainWindow& w = open_window();
    ASSERT_NE(w.action(orlogix::test::kToyLogEntry), nullptr);
    EXPECT_TRUE(w.action(orlogix::test::kToyLogEntry)->isEnabled());
    EXPECT_EQ(w.action(orlogix::test::kToyLogEntry)->text().toStdString(), "Read T&oy box");
    ASSERT_NE(w.button(orlogix::test::kToyLogEntry), nullptr);
    EXPECT_TRUE(w.button(orlogix::test::kToyLogEntry)->isEnabled());
    // The waypoint entry's routine is not registered: greyed, and it says why.
    EXPECT_FALSE(w.action(orlogix::test::kToyWaypointEntry)->isEnabled());
    EXPECT_TRUE(w.command(orlogix::test::kToyWaypointEntry));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "This instrument family is not built yet");
    // The Logs entry runs the family's routine and installs its track.
    w.button(orlogix::test::kToyLogEntry)->click();
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }));
    ASSERT_EQ(w.data().track_log.positions.size(), 1u);
    EXPECT_EQ(w.data().track_log.positions[0].time, orlogix::test::kToyFixTime);
    EXPECT_EQ(w.data().track_log.header.source_protocol_type, static_cast<int>(orlogix::test::kToyProtocol));
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
}

TEST_F(MenuWindow, AcceleratorsReachTheirCommands) {
    MainWindow& w = open_window();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    QTest::keyClick(&w, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(w.view_mode(), kViewCtrs);
    QTest::keyClick(&w, Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);  // large list size
    EXPECT_EQ(w.rebuild_count(), 1);
}

TEST_F(MenuWindow, UnknownCommandIsRefusedAndTestListsThePorts) {
    MainWindow& w = open_window();
    EXPECT_FALSE(w.command(12345));
    boxes_.clear();
    w.command(40140);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Test");
    EXPECT_NE(boxes_[0].text.find("Serial ports found:"), std::string::npos);
}

TEST_F(MenuWindow, TitleCarriesVersionPortAndCompetitionMode) {
    MainWindow& w = open_window();
    w.settings().port_name = "/dev/ttyUSB3";
    w.refresh_title();
    EXPECT_EQ(w.windowTitle().toStdString(), "Orlogix 0.10, /dev/ttyUSB3");
    w.settings().comp_mode = 1;
    w.refresh_title();
    EXPECT_EQ(w.windowTitle().toStdString(), "Orlogix 0.10, /dev/ttyUSB3, Competition mode");
    w.command(40130);  // dash mode
    EXPECT_EQ(w.windowTitle().toStdString(), "Orlogix 0.10, /dev/ttyUSB3, Comp. mode");
}

}  // namespace
}  // namespace orlogix::ui
