// Points with generators behind the window (offscreen), a master on the same
// event loop: the tick only when there are generators, a bad section leaving
// both out, and a reload that fails keeping the values moving as they were.
#include <QLabel>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/in_process_support.h"
#include "ui/status_bar_widget.h"

namespace tarvik::testing {
namespace {

int Holding(ProgramUnderTest& under, int index) {
    return under.Core().Registers().HoldingRegisters[static_cast<std::size_t>(index)];
}

TEST(ValuesWindow, TheTickRunsOnlyWithGenerators) {
    ProgramUnderTest bare(ServerIni(PickFreeTcpPort()));
    EXPECT_FALSE(bare.Core().ValuesTickTimer().isActive());
    ProgramUnderTest pointsOnly(ServerIni(PickFreeTcpPort()) + "[Points]\r\nA=holding,0,int16\r\n");
    EXPECT_FALSE(pointsOnly.Core().ValuesTickTimer().isActive());

    ProgramUnderTest moving(
        ServerIni(PickFreeTcpPort()) +
        "[Points]\r\nA=holding,0,uint16\r\n[Generators]\r\nA=counter 1 50ms\r\n");
    EXPECT_TRUE(moving.Core().ValuesTickTimer().isActive());
    EXPECT_LE(moving.Core().ValuesTickTimer().interval(), 100);
    ASSERT_TRUE(WaitUntil([&] { return Holding(moving, 0) >= 4; })) << Holding(moving, 0);
}

TEST(ValuesWindow, ABadSectionLeavesBothOutAndIsSaid) {
    ProgramUnderTest under(ServerIni(PickFreeTcpPort()) +
                           "[Points]\r\nA=holding,0,uint16\r\n"
                           "[Generators]\r\nA=steps 5 1s\r\nB=steps 6 1s\r\n");
    ASSERT_EQ(under.SettingsErrors().size(), 1u);
    EXPECT_EQ(under.SettingsErrors()[0].rfind("Settings error: [Generators] B=steps 6 1s: ", 0), 0u)
        << under.SettingsErrors()[0];
    EXPECT_TRUE(under.Core().Values().Points().empty());
    EXPECT_FALSE(under.Core().ValuesTickTimer().isActive());
    RunEventsFor(250);
    EXPECT_EQ(Holding(under, 0), 0);
}

TEST(ValuesWindow, AFailedReloadKeepsTheGeneratorsAndSaysWhy) {
    const int port = PickFreeTcpPort();
    ProgramUnderTest under(ServerIni(port) +
                           "[Points]\r\nA=holding,3,int16\r\n[Generators]\r\nA=steps -7 1m\r\n");
    ASSERT_TRUE(under.Show());
    std::ofstream(under.SettingsPath(), std::ios::trunc)
        << ServerIni(port) << "[Points]\r\nA=holding,3,int16\r\n[Generators]\r\nA=steps 1 -1s\r\n";
    under.Face().Reload();
    EXPECT_EQ(under.Window()
                  .StatusBar()
                  ->Panel(kConnectionPanel)
                  ->text()
                  .toStdString()
                  .rfind("Reload failed: Settings error: [Generators] A=steps 1 -1s: ", 0),
              0u);

    // A master's write is overwritten by the generator still in place.
    QtMaster master;
    ASSERT_TRUE(master.Connect(port));
    master.Send(WriteSingleRequest(1, 3, 42));
    ASSERT_TRUE(master.ReceiveFrame());
    ASSERT_TRUE(WaitUntil([&] { return Holding(under, 3) == 0xFFF9; })) << Holding(under, 3);
}

}  // namespace
}  // namespace tarvik::testing
