#include "core/settings/DialogRules.h"
#include "core/settings/DialogEnabling.h"

#include <gtest/gtest.h>

using namespace maroka::settings;

namespace {

using S = SessionSettings;

DialogChecks AllOn()
{
    DialogChecks c;
    c.sendDelay = c.blockSkip = c.commentStart = c.ignoreStrings = c.convertOutput = c.ignoreCodes = true;
    c.exitAfterSend = c.exitAfterReceive = c.keepCommLog = true;
    c.editorPathSet = c.viewerPathSet = c.otherAppPathSet = true;
    return c;
}

} // namespace

TEST(DialogEnabling, TextBoxesFollowTheirCheckBoxesAndNoConversionSendTakesTheConversionOnly)
{
    EXPECT_EQ(ComputeDialogEnabling(AllOn()), DialogEnabling{});
    // With every box off only what has no box of its own stays usable.
    DialogEnabling allOff{};
    allOff.sendDelayMs = allOff.blockSkipCharacter = allOff.commentStartCharacter = allOff.ignoreStringBoxes = false;
    allOff.conversionTable = allOff.ignoreCodeList = allOff.exitAfterSendSeconds = false;
    allOff.exitAfterReceiveSeconds = allOff.logMaxSize = false;
    allOff.editorEnabledBox = allOff.viewerEnabledBox = allOff.otherAppEnabledBox = false;
    EXPECT_EQ(ComputeDialogEnabling(DialogChecks{}), allOff);

    DialogChecks receive = AllOn();
    receive.noConversionReceive = true;
    DialogEnabling expected;
    expected.receiveConversion = false;
    EXPECT_EQ(ComputeDialogEnabling(receive), expected);

    // A send without conversion disables the conversion but not the delay,
    // which is about the line, nor anything of the receive side.
    DialogChecks noConversion = AllOn();
    noConversion.noConversionSend = true;
    expected = DialogEnabling{};
    for (bool DialogEnabling::*control :
         {&DialogEnabling::sendConversion, &DialogEnabling::blockSkipCharacter, &DialogEnabling::commentStartCharacter,
          &DialogEnabling::ignoreStringBoxes, &DialogEnabling::conversionTable, &DialogEnabling::ignoreCodeEntry,
          &DialogEnabling::ignoreCodeList})
        expected.*control = false;
    EXPECT_EQ(ComputeDialogEnabling(noConversion), expected);
}

TEST(DialogRules, ConversionChangesInvalidateTheBuildAndOthersDoNot)
{
    const SessionSettings current; // delay on, wait off
    // A check box counts only when it really changes.
    EXPECT_TRUE(ChangeInvalidatesBuild(KeyOf(&S::twoByteCheck), "0", current));
    EXPECT_FALSE(ChangeInvalidatesBuild(KeyOf(&S::twoByteCheck), "1", current));
    EXPECT_TRUE(ChangeInvalidatesBuild(KeyOf(&S::sendDelayEnabled), "0", current));
    // Texts count while their option is on in the settings.
    EXPECT_TRUE(ChangeInvalidatesBuild(KeyOf(&S::sendDelayMs), "200", current));
    EXPECT_FALSE(ChangeInvalidatesBuild(KeyOf(&S::sendWaitMs), "9", current));
    EXPECT_TRUE(ChangeInvalidatesBuild(KeyOf(&S::sendEndOfBlock), "CR+LF", current));
    EXPECT_FALSE(ChangeInvalidatesBuild(KeyOf(&S::sendEndOfBlock), "LF", current));
    // Display and exit values leave the prepared data alone.
    EXPECT_FALSE(ChangeInvalidatesBuild(KeyOf(&S::showData), "0", current));
    EXPECT_FALSE(ChangeInvalidatesBuild(KeyOf(&S::exitAfterSendSeconds), "5", current));

    EXPECT_FALSE(ConversionCellInvalidatesBuild(current));
    SessionSettings converting = current;
    converting.convertOutputCharacters = true;
    EXPECT_TRUE(ConversionCellInvalidatesBuild(converting));
}

TEST(DialogRules, AChosenEntryGoesToTheTopOnceAndTheListKeepsEight)
{
    std::vector<std::string> history{"/usr/bin/vi", "/usr/bin/nano"};
    PutAtTopOfHistory(history, "/usr/bin/nano");
    EXPECT_EQ(history, (std::vector<std::string>{"/usr/bin/nano", "/usr/bin/vi"}));
    PutAtTopOfHistory(history, "/usr/bin/nano");
    EXPECT_EQ(history, (std::vector<std::string>{"/usr/bin/nano", "/usr/bin/vi"}));
    // Paths differ by case on this system.
    PutAtTopOfHistory(history, "/usr/bin/VI");
    EXPECT_EQ(history.size(), 3u);
    PutAtTopOfHistory(history, "");
    EXPECT_EQ(history.size(), 3u);
    for (int i = 0; i < 10; ++i)
        PutAtTopOfHistory(history, "/p" + std::to_string(i));
    ASSERT_EQ(history.size(), 8u);
    EXPECT_EQ(history.front(), "/p9");
    EXPECT_EQ(history.back(), "/p2");
}
