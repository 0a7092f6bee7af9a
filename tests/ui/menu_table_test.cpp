// The command table behind menus, accelerators and quick buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QPushButton>

#include <map>
#include <set>

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
    EXPECT_EQ(xct->protocol, 10);
    EXPECT_EQ(xct->baud, 57600);
    EXPECT_EQ(find_menu_entry(40096)->naming, 2);
}

using MenuWindow = test::WindowTest;

TEST_F(MenuWindow, InstrumentEntriesFollowTheRegisteredFamilies) {
    MainWindow& w = open_window();
    // Garmin serial is built; the other families are not registered yet.
    EXPECT_TRUE(w.action(40029)->isEnabled());
    EXPECT_TRUE(w.action(40027)->isEnabled());
    EXPECT_TRUE(w.button(40029)->isEnabled());
    EXPECT_FALSE(w.action(40004)->isEnabled());
    EXPECT_FALSE(w.button(40004)->isEnabled());
    EXPECT_TRUE(w.action(40100)->isEnabled());   // CTR files
    EXPECT_FALSE(w.action(40143)->isEnabled());  // pilot lists are not built
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

TEST_F(MenuWindow, UnbuiltCommandSaysSoPlainly) {
    MainWindow& w = open_window();
    EXPECT_TRUE(w.command(40143));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "This operation is not available yet");
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
