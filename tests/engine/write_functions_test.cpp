#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(WriteSingleCoil, EchoesAndChangesNothing) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 04 00 00 00 06 01 05 00 07 FF 00");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 04 00 00 00 06 01 05 00 07 FF 00");
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0004 Write single coil 7, value FF00",
                                   "DISPATCH 5",
                                   "ANS 0004 0000 Write single coil response",
                               }));
    EXPECT_EQ(rig.engine.Registers().HoldingRegisters, RegisterTables{}.HoldingRegisters);
}

TEST(WriteSingleRegister, StoresTheValueAndEchoesWithoutAnswerLine) {
    EngineRig rig;
    rig.options.showRaw = true;
    rig.options.showReads = false;  // write lines do not depend on it
    rig.Feed("00 05 00 00 00 06 01 06 00 0C FF FE");
    EXPECT_EQ(rig.Holding()[12], 65534);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 05 00 00 00 06 01 06 00 0C FF FE");
    EXPECT_TRUE(rig.dispatch.answers[0].view);
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "RAW <- 00 05 00 00 00 06 01 06 00 0C FF FE",
                                   "REQ 0005 Write Holding Register 12, value FFFE",
                                   "DISPATCH 6",
                               }));
}

TEST(WriteSingleRegister, PastTheTableIsAnsweredAsDoneAndChangesNothing) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 06 00 00 00 06 01 06 13 88 12 34");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 06 00 00 00 06 01 06 13 88 12 34");
    EXPECT_EQ(rig.trace.lines.front(), "REQ 0006 Write Holding Register 5000, value 1234");
    EXPECT_EQ(rig.engine.Registers().HoldingRegisters, RegisterTables{}.HoldingRegisters);
}

TEST(WriteMultipleCoils, AnswersStartAndQuantityOnly) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 07 00 00 00 09 01 0F 00 00 00 0A 02 FF 03");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 07 00 00 00 06 01 0F 00 00 00 0A");
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0007 Write Coils 0, length 10",
                                   "DISPATCH 15",
                                   "ANS 0007 0000 Write Coils 0, length 10",
                               }));
}

TEST(WriteMultipleRegisters, StoresEachValueAndEchoesTheWholeRequest) {
    EngineRig rig;
    rig.options.showRaw = false;
    const std::string request = "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02";
    rig.Feed(request);
    EXPECT_EQ(rig.Holding()[10], 1);
    EXPECT_EQ(rig.Holding()[11], 2);
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), request);
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0002 Write Holding Registers 10, length 2",
                                   "REQ 0002 Registervalue 40010, value 0001",
                                   "REQ 0002 Registervalue 40011, value 0002",
                                   "DISPATCH 16",
                                   "ANS 0002 0000 Write Holding Registers 10, length 2",
                               }));
}

TEST(WriteMultipleRegisters, RangePastTheTableIsRefusedWith129AndStoresNothing) {
    EngineRig rig;
    rig.options.showRaw = false;
    Packet fits = Bytes("00 01 00 00 00 17 01 10 07 F8 00 08 10");
    Packet past = Bytes("00 02 00 00 00 19 01 10 07 F8 00 09 12");
    for (int i = 0; i < 8; ++i) fits += PutWord(100 + i);
    for (int i = 0; i < 9; ++i) past += PutWord(500 + i);
    rig.engine.ProcessPacket(fits);
    EXPECT_EQ(rig.Holding()[2040], 100);
    EXPECT_EQ(rig.Holding()[2047], 107);

    rig.trace.lines.clear();
    rig.engine.ProcessPacket(past);
    EXPECT_EQ(rig.dispatch.answers[1].WireHex(), "00 02 00 00 00 03 01 81 02");
    EXPECT_EQ(rig.Holding()[2040], 100);
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0002 Write Holding Registers 2040, length 9",
                                   "DISPATCH 129",
                                   "ANS 0002 0000 Write Holding Registers 2040, length 9",
                               }));
}

TEST(WriteMultipleRegisters, QuantityZeroWritesNothingAndIsEchoed) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 03 00 00 00 06 01 10 00 00 00 00");
    EXPECT_EQ(rig.dispatch.answers[0].WireHex(), "00 03 00 00 00 06 01 10 00 00 00 00");
}

TEST(AnswersAndLines, HandOverOrderIsRequestDispatchAnswerPerFrame) {
    EngineRig rig;
    rig.options.showRaw = false;
    rig.Feed("00 01 00 00 00 06 01 05 00 01 00 00 00 02 00 00 00 06 01 0F 00 00 00 01");
    EXPECT_EQ(rig.trace.lines, (Lines{
                                   "REQ 0001 Write single coil 1, value 0000",
                                   "DISPATCH 5",
                                   "ANS 0001 0000 Write single coil response",
                                   "REQ 0002 Write Coils 0, length 1",
                                   "DISPATCH 15",
                                   "ANS 0002 0000 Write Coils 0, length 1",
                               }));
}

}  // namespace
}  // namespace tarvik::testing
