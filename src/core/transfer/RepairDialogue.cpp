#include "core/transfer/RepairDialogue.h"

#include "core/platform/FileBytes.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/ReceivedFileRepair.h"

#include <cstdio>

namespace maroka::transfer {

namespace {

std::vector<std::string> ReadLines(const std::string& path)
{
    return SplitTextLines(platform::ReadFileBytes(path).value_or(std::string()));
}

// "⇒ <line>" and where the characters were lost, for one reception.
std::string LossMessage(const RepairState& state, const std::vector<std::string>& positions,
                        const std::string& bytesText)
{
    std::string text = msg::kRepairLinePrefix + text::Cp932ToUtf8Lossy(state.lastGoodLine);
    if (positions.size() > 1)
        text += std::string(msg::kRepairAroundAnd) + msg::kRepairOthers + std::to_string(positions.size() - 1) +
                msg::kRepairPlacesDropped;
    else
        text += msg::kRepairAroundDropped;
    text += msg::kRepairBytesPrefix + bytesText + msg::kRepairBytesSuffix;
    return text;
}

std::string ErrorNumberText(int number)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return digits;
}

void ShowStop(WorkerEnvironment& env, const std::string& text)
{
    env.ui.ShowMessage(env.versionText, text, MessageIcon::Error, MessageButtons::Ok);
}

RepairDecision FirstReception(WorkerEnvironment& env, ReceiveContext& context, RepairState& state)
{
    std::string text = LossMessage(state, state.firstErrorPositions, context.bytesReceivedText);
    if (context.receptionContinued) {
        ShowStop(env, text + msg::kRepairContinued);
        return RepairDecision::End;
    }
    text += msg::kRepairAskRetry;
    const MessageAnswer answer =
        env.ui.ShowMessage(env.versionText, text, MessageIcon::Error, MessageButtons::RetryCancel);
    if (answer != MessageAnswer::Retry)
        return RepairDecision::End;
    state.firstLines = ReadLines(context.transferFilePath);
    if (!OpenReceiveFile(env, context))
        return RepairDecision::End;
    env.ui.ClearDataView();
    env.ui.ShowStatus(msg::kStatusReReceive);
    return RepairDecision::Retry;
}

void SecondReception(WorkerEnvironment& env, ReceiveContext& context, RepairState& state)
{
    state.secondLines = ReadLines(context.transferFilePath);
    std::string text = LossMessage(state, state.secondErrorPositions, context.bytesReceivedText);
    if (state.firstLines == state.secondLines) {
        ShowStop(env, text + msg::kRepairSamePlaces);
        return;
    }
    env.ui.ShowStatus(msg::kStatusRepairing);

    std::string writeError;
    const RepairWriter write = [&](const std::vector<std::string>& lines) {
        ReceiveFile file;
        if (file.Open(context.transferFilePath) && file.Write(JoinCrLf(lines)) && file.Close())
            return true;
        writeError = file.LastError();
        file.Close();
        return false;
    };
    const int result = MergeReceptions(state, write);
    if (result != 0) {
        env.ui.ShowStatus(msg::kStatusRepairError);
        if (result == kRepairWriteFailed)
            ShowStop(env, std::string(msg::kRepairWriteError) + "\n\n" + context.transferFilePath + ": " + writeError);
        else
            ShowStop(env, msg::kRepairErrorPrefix + ErrorNumberText(result));
    }

    if (!state.repairFailed || state.firstLines == state.secondLines) {
        context.repaired = true;
        env.log->CommLog(msg::kLogRepaired);
        env.ui.ClearDataView();
        context.bytesReceivedText = text::FormatThousands(std::to_string(JoinCrLf(state.firstLines).size()));
        env.ui.ShowFileName(" " + env.displayName + msg::kBoxRepairedPrefix + context.bytesReceivedText +
                            msg::kBoxBytesClose);
        std::string success = msg::kRepairSuccess;
        success += msg::kRepairSizePrefix + std::to_string(state.repairedSize) + msg::kRepairSizeSuffix;
        success += msg::kRepairCrCountPrefix + std::to_string(state.repairedLineCount) + msg::kRepairCrCountSuffix;
        if (env.settings.receiveEndOfBlock == "CR+LF")
            success += msg::kRepairReceivedBytesPrefix + std::to_string(state.repairedSize - state.repairedLineCount) +
                       msg::kRepairReceivedBytesSuffix;
        success += msg::kRepairCheckIt;
        env.ui.ShowMessage(env.versionText, success, MessageIcon::Information, MessageButtons::Ok);
        env.ui.ShowStatus(msg::kStatusRepaired);
        return;
    }
    env.log->CommLog(msg::kLogRepairFailed);
    ShowStop(env, text + msg::kRepairNotDone);
}

} // namespace

RepairDecision RunRepairDialogue(WorkerEnvironment& env, ReceiveContext& context)
{
    if (!context.repair)
        return RepairDecision::End;
    RepairState& state = *context.repair;
    ++state.receptionCount;
    if (state.receptionCount == 1)
        return FirstReception(env, context, state);
    if (state.receptionCount == 2)
        SecondReception(env, context, state);
    return RepairDecision::End;
}

} // namespace maroka::transfer
