// The Faults menu and panel of the running window (offscreen), a master on
// the same event loop: entries as the file has them, switching a rule off and
// on, and a reload.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/in_process_support.h"
#include "ui/status_bar_widget.h"

namespace tarvik::testing {
namespace {

std::vector<std::string> MenuTitles(MainWindow& window) {
    std::vector<std::string> titles;
    for (QAction* menu : window.menuBar()->actions()) titles.push_back(menu->text().toStdString());
    return titles;
}

struct Entry {
    std::string text;
    bool checked, enabled;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(QMenu* menu) {
    std::vector<Entry> entries;
    for (QAction* a : menu->actions())
        entries.push_back({a->text().toStdString(), a->isChecked(), a->isEnabled()});
    return entries;
}

std::string FaultPanel(MainWindow& window) {
    auto* panel = window.StatusBar()->findChild<QLabel*>(QStringLiteral("Panel(FaultRules)"));
    if (panel == nullptr) return "(none)";
    return panel->isVisible() ? panel->text().toStdString() : "(hidden)";
}

int FunctionByteOf(const std::optional<std::string>& frame) {
    return frame && frame->size() > 7 ? static_cast<unsigned char>((*frame)[7]) : -1;
}

TEST(FaultMenu, NoSectionAddsNothingAndAnEmptyOneGivesOneDisabledEntry) {
    ProgramUnderTest none(ServerIni(PickFreeTcpPort()));
    EXPECT_EQ(MenuTitles(none.Window()), (std::vector<std::string>{"&File", "&View"}));
    EXPECT_EQ(FaultPanel(none.Window()), "(none)");
    ProgramUnderTest empty(ServerIni(PickFreeTcpPort()) + "[Faults]\r\n");
    ASSERT_TRUE(empty.Show());
    ASSERT_EQ(MenuTitles(empty.Window()), (std::vector<std::string>{"&File", "F&aults", "&View"}));
    EXPECT_EQ(Entries(empty.Face().Faults()->Menu()),
              (std::vector<Entry>{{"(no fault rules)", false, false}}));
    EXPECT_EQ(FaultPanel(empty.Window()), "(hidden)");
}

TEST(FaultMenu, SwitchesRulesOffAndOnWhileAMasterPolls) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni(port) +
                           "[Faults]\r\nBusy=*,3,100-199,exception 06\r\n"
                           "Odd=*,4,*,silent,every 2\r\n");
    ASSERT_TRUE(under.Show());
    MainWindow& window = under.Window();
    QMenu* menu = under.Face().Faults()->Menu();
    ASSERT_EQ(MenuTitles(window), (std::vector<std::string>{"&File", "F&aults", "&View"}));
    EXPECT_EQ(Entries(menu),
              (std::vector<Entry>{{"Busy: *,3,100-199,exception 06,always", true, true},
                                  {"Odd: *,4,*,silent,every 2", true, true}}));
    EXPECT_EQ(FaultPanel(window), "2 fault rules on");
    EXPECT_EQ(window.StatusBar()
                  ->findChild<QLabel*>(QStringLiteral("Panel(FaultRules)"))
                  ->palette()
                  .color(QPalette::Window),
              QColor(255, 191, 0));  // amber, as the answer-changing options

    QtMaster master;
    ASSERT_TRUE(master.Connect(port));
    master.Send(ReadRequest(1, 3, 150, 1));
    EXPECT_EQ(FunctionByteOf(master.ReceiveFrame()), 0x83);

    menu->actions()[0]->trigger();  // Busy off
    EXPECT_EQ(FaultPanel(window), "1 fault rules on");
    master.Send(ReadRequest(2, 3, 150, 1));
    EXPECT_EQ(FunctionByteOf(master.ReceiveFrame()), 0x03);

    // One match of Odd, then off and on again: its count starts afresh.
    master.Send(ReadRequest(3, 4, 0, 1));
    EXPECT_EQ(FunctionByteOf(master.ReceiveFrame()), 0x04);
    menu->actions()[1]->trigger();
    EXPECT_EQ(FaultPanel(window), "(hidden)");
    menu->actions()[1]->trigger();
    EXPECT_EQ(FaultPanel(window), "1 fault rules on");
    master.Send(ReadRequest(4, 4, 0, 1));
    EXPECT_EQ(FunctionByteOf(master.ReceiveFrame()), 0x04);
    master.Send(ReadRequest(5, 4, 0, 1));
    EXPECT_EQ(master.ReceiveFrame(300), std::nullopt);
}

TEST(FaultMenu, ReloadRebuildsTheMenuAndAFailureShowsInTheFirstPanel) {
    ProgramUnderTest under(ServerIni(PickFreeTcpPort()) +
                           "[Faults]\r\nBusy=*,3,*,exception 06\r\n");
    ASSERT_TRUE(under.Show());
    MainWindow& window = under.Window();
    under.Face().Faults()->Menu()->actions()[0]->trigger();
    EXPECT_EQ(FaultPanel(window), "(hidden)");

    std::ofstream(under.SettingsPath(), std::ios::trunc)
        << ServerIni(PickFreeTcpPort()) << "[Faults]\r\nA=1,*,*,silent\r\nB=2,*,*,close\r\n";
    under.Face().Reload();
    EXPECT_EQ(Entries(under.Face().Faults()->Menu()),
              (std::vector<Entry>{{"A: 1,*,*,silent,always", true, true},
                                  {"B: 2,*,*,close,always", true, true}}));
    EXPECT_EQ(FaultPanel(window), "2 fault rules on");
    EXPECT_EQ(MenuTitles(window), (std::vector<std::string>{"&File", "F&aults", "&View"}));

    std::ofstream(under.SettingsPath(), std::ios::trunc)
        << ServerIni(PickFreeTcpPort()) << "[Faults]\r\nA=1,*,*,silent,every x\r\n";
    under.Face().Reload();
    EXPECT_EQ(under.ConnectionPanel().rfind(
                  "Reload failed: Settings error: [Faults] A=1,*,*,silent,every x: ", 0),
              0u)
        << under.ConnectionPanel();
    EXPECT_EQ(under.Face().Faults()->Menu()->actions().size(), 2);
    EXPECT_EQ(FaultPanel(window), "2 fault rules on");
}

}  // namespace
}  // namespace tarvik::testing
