#include "emulator/FakeUsbBus.h"
#include "rfidctl/ArgumentText.h"
#include "rfidctl/Rfidctl.h"
#include "rfidctl/RfidctlRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunCommand(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunRfidctl(args, out, err);
    return {code, out.str(), err.str()};
}

} // namespace

TEST(RfidctlArguments, OnlyPlainDecimalIdentifiersBelowTwoToTheFortyAreAccepted) {
    EXPECT_EQ(ParseCardIdArgument("0078187493530"), 78187493530u);
    EXPECT_EQ(ParseCardIdArgument("1099511627775"), 1099511627775u);
    EXPECT_EQ(ParseCardIdArgument("0"), 0u);
    for (const char* bad : {"", "abc", "1099511627776", "9999999999999", "-1", "+1", " 42", "42 ", "42xyz",
                            "00000000000001", "0x1F", "1e5"})
        EXPECT_EQ(ParseCardIdArgument(bad), std::nullopt) << '"' << bad << '"';
}

TEST(RfidctlArguments, FramePrintsUpperCaseHexOneLinePerIdWhenSeveral) {
    Result one = RunCommand({"frame", "78187493530"});
    EXPECT_EQ(one.code, RFIDCTL_OK);
    EXPECT_EQ(one.out, "FF 8C A6 4A 98 F8 CA 96\n");

    Result several = RunCommand({"frame", "0", "1099511627775"});
    EXPECT_EQ(several.out, "0 FF 80 00 00 00 00 00 00\n1099511627775 FF FB DE F7 BD EF 7B C0\n");
}

TEST(RfidctlArguments, BadCommandLinesGiveOneErrorLineAndNoOutput) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"fly"},
                                                                  {"frame"},
                                                                  {"frame", "1", "x"},
                                                                  {"read", "--vendor"},
                                                                  {"write"},
                                                                  {"write", "1", "2"},
                                                                  {"info", "extra"}}) {
        Result result = RunCommand(args);
        EXPECT_EQ(result.code, RFIDCTL_USAGE);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_NE(RunCommand({"--help"}).out.find("write ID [--verify]"), std::string::npos);
    EXPECT_EQ(RunCommand({"--version"}).out.rfind("rfidctl ", 0), 0u);
}

TEST(RfidctlArguments, MessagesQuoteControlCharactersAndCutLongArguments) {
    EXPECT_EQ(ArgumentText("12\n34"), "\"12\\n34\"");
    EXPECT_EQ(ArgumentText("\x1b[2J\"\\\x7f\xc2\x9b"), "\"\\e[2J\\\"\\\\\\x7F\\xC2\\x9B\"");
    EXPECT_EQ(ArgumentText("卡号\xe4\xb8"), "\"卡号\\xE4\\xB8\"");
    const std::string huge(128 * 1024, '7');
    EXPECT_EQ(ArgumentText(huge), '"' + huge.substr(0, ARGUMENT_TEXT_MAX_CHARACTERS) + "\"... (131072 bytes)");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"write", "1\n2"}, {"frame", "\x1b]0;title\x07"}, {"read", "--x\r"}, {"x\ny"}, {"write", huge}}) {
        const Result result = RunCommand(args);
        EXPECT_EQ(result.code, RFIDCTL_USAGE);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_LT(result.err.size(), 200u);
        EXPECT_TRUE(std::none_of(result.err.begin(), result.err.end() - 1,
                                 [](char c) { return (c >= 0 && c < 0x20) || c == 0x7F; }))
            << result.err;
    }
}

TEST(RfidctlCommands, AnInvalidIdNeverReachesTheCard) {
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.PutCard(5);
    for (const char* bad : {"abc", "1099511627776", "-1", ""})
        EXPECT_EQ(RunCommand({"write", bad}).code, RFIDCTL_USAGE);
    EXPECT_EQ(bus.TransferCount(), 0);
    EXPECT_EQ(reader.CardId(), 5u);
}

TEST(RfidctlCommands, VerifyReadsTheCardBackOnceItHasSettledAndReportsAFailedReadBack) {
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.PutCard(5);
    reader.SetSettleTimeMs(400); // read back any sooner, the card does not answer yet
    Result result = RunCommand({"write", "42", "--verify"});
    EXPECT_EQ(result.code, RFIDCTL_OK);
    EXPECT_EQ(result.out, "written 0000000000042\nverified 0000000000042\n");

    reader.SetFault(0, CEmulatedReader::Fault::Stall);
    result = RunCommand({"write", "43", "--verify"});
    EXPECT_EQ(result.code, RFIDCTL_VERIFY_FAILED);
    EXPECT_NE(result.err.find("nothing readable"), std::string::npos);
}

TEST(RfidctlCommands, InfoShowsEveryNameByteAsTheCharacterOfThatCode) {
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.SetName("Lecteur \xE9\xFF");
    Result result = RunCommand({"info"});
    EXPECT_EQ(result.code, RFIDCTL_OK);
    EXPECT_EQ(result.out, "Lecteur \xC3\xA9\xC3\xBF Version: 1.0.2\n");
}

TEST(RfidctlCommands, AReaderThisUserMayNotUseIsNamedWithTheFix) {
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.PutCard(5);
    reader.SetFault(0, CEmulatedReader::Fault::Stall); // a read-only handle: every transfer is refused
    std::vector<std::string> probed;
    const DeviceNodeProbe previous = SetDeviceNodeProbe([&](const std::string& node) {
        probed.push_back(node);
        return false;
    });

    Result result = RunCommand({"read"});
    EXPECT_EQ(result.code, RFIDCTL_NO_PERMISSION);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("/dev/bus/usb/001/002"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("udev rule"), std::string::npos) << result.err;
    EXPECT_EQ(probed, std::vector<std::string>{"/dev/bus/usb/001/002"});

    // The same failure on a reader this user may use is an ordinary transfer failure.
    SetDeviceNodeProbe([](const std::string&) { return true; });
    EXPECT_EQ(RunCommand({"read"}).code, RFIDCTL_TRANSFER_FAILED);
    SetDeviceNodeProbe(previous);
}

TEST(RfidctlCommands, NoReaderOnTheBusIsNotAPermissionProblem) {
    CFakeUsbBus bus;
    const DeviceNodeProbe previous = SetDeviceNodeProbe([](const std::string&) { return false; });
    Result result = RunCommand({"info"});
    SetDeviceNodeProbe(previous);
    EXPECT_EQ(result.code, RFIDCTL_NO_READER);
    EXPECT_NE(result.err.find("no reader found"), std::string::npos);
}

TEST(RfidctlArguments, HexIdentifiersAreZeroXAndExactlyTenHexDigits) {
    EXPECT_EQ(ParseCardIdArgument("0x123456789A"), 78187493530u);
    EXPECT_EQ(ParseCardIdArgument("0X123456789a"), 78187493530u);
    EXPECT_EQ(ParseCardIdArgument("0x0000000000"), 0u);
    EXPECT_EQ(ParseCardIdArgument("0xFFFFFFFFFF"), 1099511627775u);
    for (const char* bad : {"0x", "0x123456789", "0x123456789AB", "0x12345678G9", "0x 23456789A", "x123456789A",
                            "00x23456789A", "0x-23456789A"})
        EXPECT_EQ(ParseCardIdArgument(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(RunCommand({"frame", "0x123456789A"}).out, "FF 8C A6 4A 98 F8 CA 96\n");
}

TEST(RfidctlArguments, FormsPrintsEveryPrintedFormWithoutAReader) {
    Result result = RunCommand({"forms", "0x0102030405"});
    EXPECT_EQ(result.code, RFIDCTL_OK);
    EXPECT_EQ(result.out, "0004328719365\nHEX 0102030405\nDEZ10 0033752069\nDEZ8 00197637\nW26 003,01029\n"
                          "5.5 00515,01029\n");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"forms"}, {"forms", "1", "2"}, {"forms", "0x12"}, {"read", "--form"}, {"read", "--form", "dez"},
             {"read", "--form=hex,oct"}, {"forms", "1", "--form", "hex"}}) {
        result = RunCommand(args);
        EXPECT_EQ(result.code, RFIDCTL_USAGE) << args.back();
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

TEST(RfidctlCommands, ReadAddsTheChosenFormsOfTheWholeIdentifier) {
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.PutCard(78187493530u);
    Result result = RunCommand({"read", "--form", "w26", "--form=HEX"});
    EXPECT_EQ(result.code, RFIDCTL_OK);
    EXPECT_EQ(result.out, "0078187493530\nVENDOR ID:018\nCARD NO.:0878082202\nHEX 123456789A\nW26 086,30874\n");
    // Without the vendor ID in the text, the forms still come from the whole identifier.
    result = RunCommand({"read", "--card-only", "--form", "hex,5.5"});
    EXPECT_EQ(result.out, "0000878082202\nHEX 123456789A\n5.5 13398,30874\n");
    EXPECT_EQ(RunCommand({"read", "--card-only"}).out, "0000878082202\n");

    const int transfers = bus.TransferCount();
    EXPECT_EQ(RunCommand({"read", "--form", "all,x"}).code, RFIDCTL_USAGE);
    EXPECT_EQ(bus.TransferCount(), transfers);
}

TEST(RfidctlRun, ARunNeedsEitherABatchOrAFirstNumberAndAKnownMode) {
    CFakeUsbBus bus;
    for (const auto& args : std::vector<std::vector<std::string>>{{"run"},
                                                                  {"run", "--batch", "b", "--vendor", "1"},
                                                                  {"run", "--vendor", "1"},
                                                                  {"run", "--vendor", "256", "--first", "1"},
                                                                  {"run", "--vendor", "1", "--first", "1", "--mode", "up"},
                                                                  {"run", "--batch", "b", "--wait", "x"}}) {
        Result result = RunCommand(args);
        EXPECT_EQ(result.code, RFIDCTL_USAGE) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    // Without a reader nothing starts.
    EXPECT_EQ(RunCommand({"run", "--vendor", "1", "--first", "1"}).code, RFIDCTL_NO_READER);
}

TEST(RfidctlRun, TheStatusLineGivesThePaceAndTheTimeToFinishAtIt) {
    EXPECT_EQ(RunStatusText(0, 0, std::nullopt, 0), "0 good, 0 failed, 0.0 cards/min");
    // 10 good cards in 5 minutes: 2 a minute, so 20 left take 10 minutes.
    EXPECT_EQ(RunStatusText(10, 1, 20, 5 * 60000), "10 good, 1 failed, 20 left, 2.0 cards/min, done in 0:10:00");
    EXPECT_EQ(RunStatusText(1, 0, 7261, 60000), "1 good, 0 failed, 7261 left, 1.0 cards/min, done in 121:01:00");
}
