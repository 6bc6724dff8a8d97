#include "core/transfer/SendLoop.h"

#include "core/logs/LogMessages.h"
#include "core/text/ControlCodes.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"
#include "core/transfer/SendPacing.h"
#include "core/transfer/TransferMessages.h"

#include <cstdio>
#include <thread>

namespace maroka::transfer {

namespace {

constexpr char kDc2 = static_cast<char>(text::kDc2);
constexpr char kDc4 = static_cast<char>(text::kDc4);
constexpr std::size_t kMaxDisplayLine = 2047;
constexpr int kMaxDataViewLines = 200;
constexpr std::string_view kSourceFileTag = "(SOURCE_FILE=";

std::string TwoDigits(long long value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02lld", value % 100);
    return text;
}

bool IsTrailingBlank(std::string_view line, std::size_t& cut, std::string_view singles)
{
    if (cut == 0)
        return false;
    if (singles.find(line[cut - 1]) != std::string_view::npos) {
        --cut;
        return true;
    }
    // A full-width space, only where it is a whole character.
    if (cut >= 2 && line.substr(cut - 2, 2) == "\x81\x40" &&
        text::CutAtCharBoundary(line.substr(0, cut), cut - 1).size() == cut - 2) {
        cut -= 2;
        return true;
    }
    return false;
}

std::string_view TrimTrailing(std::string_view line, std::string_view singles)
{
    std::size_t cut = line.size();
    while (IsTrailingBlank(line, cut, singles)) {
    }
    return line.substr(0, cut);
}

} // namespace

std::string FormatCycleTime(std::chrono::seconds duration)
{
    const long long total = duration.count();
    return TwoDigits(total / 3600 % 24) + "時間 " + TwoDigits(total / 60 % 60) + "分 " + TwoDigits(total % 60) + "秒";
}

std::string FormatLastCycleTime(std::chrono::seconds duration)
{
    const long long total = duration.count();
    return TwoDigits(total / 3600 % 24) + "H " + TwoDigits(total / 60 % 60) + "M " + TwoDigits(total % 60) + "S";
}

SendLoop::SendLoop(WorkerEnvironment& env, ChunkReader& file, TransferMode mode, bool skipCycleStartWait)
    : env_(env), file_(file), mode_(mode), skipCycleStartWait_(skipCycleStartWait)
{
}

bool SendLoop::NoConversion() const
{
    return env_.settings.noConversionSend || env_.directSend;
}

void SendLoop::ShowFileName(const std::string& suffix)
{
    env_.ui.ShowFileName(" " + env_.displayName + suffix);
}

void SendLoop::EndTransferOnUi()
{
    env_.ui.RunOnUiThread([this] { env_.mainWindow.EndTransfer(); });
}

SendOutcome SendLoop::Run()
{
    if (mode_ == TransferMode::Reset)
        return outcome_;
    const auto pacing = ReadSendPacing(env_.settings);
    if (const auto* error = std::get_if<std::string>(&pacing)) {
        // The session checks this before it starts a worker; a worker that
        // still meets a bad value fails instead of guessing.
        env_.ShowError(*error);
        outcome_.transferError = true;
        return outcome_;
    }
    lineErrors_ = {};
    env_.ui.SetProgress(0, file_.Size());

    std::string box = NoConversion() ? msg::kBoxNoConversion : msg::kBoxSend;
    if (mode_ == TransferMode::Server)
        box += msg::kBoxServerSuffix;
    ShowFileName(box);

    if (env_.settings.sendDc2AtStart)
        env_.line->TransmitChar(kDc2);

    PassEnd end = PassEnd::Finished;
    while ((end = RunPass()) == PassEnd::Finished) {
        if (!env_.settings.resendMode || mode_ == TransferMode::Server)
            break;
        ShowFileName(msg::kBoxResend);
    }
    if (env_.flags.closing)
        return outcome_;
    // A stopped send ends without DC4: the control would take the cut
    // program for a complete one.
    if (end == PassEnd::Return) {
        if (mode_ == TransferMode::Server)
            env_.flags.quitRequested = false;
        return outcome_;
    }

    if (env_.settings.sendDc4AtEnd)
        env_.line->TransmitChar(kDc4);
    if (env_.settings.exitAfterSend && mode_ != TransferMode::Server)
        ExitCountdown();
    if (mode_ == TransferMode::Server)
        env_.flags.quitRequested = false;
    return outcome_;
}

SendLoop::PassEnd SendLoop::RunPass()
{
    const SendPacing pacing = std::get<SendPacing>(ReadSendPacing(env_.settings));
    outcome_.sendCompleted = false;
    env_.flags.eventWaitActive = false;

    if (!env_.settings.ignoreCycleStart && !skipCycleStartWait_) {
        env_.ui.ShowStatus(msg::kStatusWaitCycleStart);
        if (!WaitForMachine() && !env_.flags.StopOrClosing()) {
            // Without a cycle start nothing may go out; a line that cannot
            // even be waited on would also fail every resend at once.
            ShowFileName(msg::kBoxSendError);
            env_.ui.ShowStatus(msg::kStatusSendFailed);
            env_.log->CommLog(logs::msg::kLogSendFailed);
            return PassEnd::Return;
        }
    }
    skipCycleStartWait_ = false;
    file_.Rewind();

    if (env_.flags.stopRequested || env_.flags.closing) {
        if (env_.flags.stopRequested) {
            ShowFileName(msg::kBoxInterrupted);
            env_.ui.ShowStatus(msg::kStatusSendInterrupted);
            EndTransferOnUi();
        }
        return PassEnd::Return;
    }

    cycleStart_ = env_.clock->Now();
    cycleStartTaken_ = true;
    env_.ui.RunOnUiThread([this] { env_.mainWindow.SetLastCycleTime({}); });
    lineBuffer_.clear();
    lineOverflow_ = false;
    blockStatus_.Clear();
    if (env_.remainingTime && env_.settings.showRemainingTime && env_.dncMode)
        env_.remainingTime->StartPass();

    bytesSent_ = 0;
    lastProgressStep_ = -1;
    sendIoMessage_ = msg::kSendIoErrorPrefix;
    env_.ui.ClearDataView();
    displayedLines_ = 0;
    outcome_.transferError = false;

    if (env_.flags.stopRequested)
        return PassEnd::Return;

    ShowFileName(NoConversion() ? msg::kBoxNoConversionSending : msg::kBoxSending);
    env_.ui.ShowStatus(msg::kStatusSendStart);

    if (env_.settings.sendDelayEnabled) {
        env_.ui.ShowStatus(msg::kStatusPreparing);
        env_.clock->Wait(env_.flags, std::chrono::milliseconds(pacing.delayMs));
    }
    if (env_.flags.StopOrClosing()) {
        EndTransferOnUi();
        return PassEnd::Return;
    }

    env_.ui.ShowStatus(msg::kStatusReady);
    env_.log->CommLog(logs::msg::kLogSendStart);

    ChunkLoop(pacing.chunkSize);

    // A normal end lets the last bytes leave the device; a stop throws away
    // what is still queued so the machine gets nothing more.
    if (env_.flags.StopOrClosing() || outcome_.transferError)
        env_.line->Purge(serial::kPurgeTxClear);
    else
        env_.line->Drain();

    if (env_.flags.closing) {
        env_.flags.quitRequested = true;
        env_.log->CommLog(logs::msg::kLogForcedEnd);
        return PassEnd::Return;
    }

    env_.ui.SetProgress(0, file_.Size());
    if (env_.remainingTime)
        env_.remainingTime->Hide();
    if (env_.flags.stopRequested) {
        ShowFileName(msg::kBoxInterrupted);
        env_.ui.ShowStatus(msg::kStatusDataSendInterrupted);
        env_.log->CommLog(logs::msg::kLogSendStopped);
        EndTransferOnUi();
        return PassEnd::Return;
    }
    if (outcome_.transferError) {
        ShowFileName(msg::kBoxSendError);
        env_.ui.ShowStatus(msg::kStatusSendFailed);
        env_.log->CommLog(logs::msg::kLogSendFailed);
    } else {
        ShowFileName(env_.settings.completedSendClearsFile ? msg::kBoxSendFinished : msg::kBoxSendFinishedResend);
        ShowCycleTime();
        outcome_.sendCompleted = true;
        env_.log->CommLog(logs::msg::SendEndLogMessage(cycleTimeText_));
    }
    return PassEnd::Finished;
}

bool SendLoop::WaitForMachine()
{
    // Only what the machine sends from now on is its cycle start: an XON of
    // the last pass's flow control, remembered by the line, is not. What has
    // arrived is taken in first, so that an XOFF still queued is seen as one
    // and the XON that follows it stays flow control.
    env_.line->WaitReadable(0);
    if (!env_.line->Purge(serial::kPurgeRxClear)) {
        env_.ShowPlain(msg::kSetCommMaskClearError);
        outcome_.transferError = true;
        return false;
    }
    env_.flags.eventWaitActive = true;
    // A stop that came before the wait began must not be slept through.
    if (env_.flags.StopOrClosing()) {
        env_.flags.eventWaitActive = false;
        return false;
    }
    std::uint32_t events = 0;
    const serial::IoStatus status = env_.line->WaitEvent(serial::kEvAllButTxEmpty, events);
    env_.flags.eventWaitActive = false;
    if (status == serial::IoStatus::Failed) {
        env_.ShowPlain(msg::kWaitCommEventError);
        outcome_.transferError = true;
        return false;
    }
    if (status != serial::IoStatus::Ok)
        return false;
    if (!env_.line->Purge(serial::kPurgeRxClear)) {
        env_.ShowPlain(msg::kPurgeCommError);
        return false;
    }
    return true;
}

void SendLoop::ChunkLoop(std::size_t chunkSize)
{
    const bool display = env_.settings.showData || env_.settings.showComments || env_.settings.showRemainingTime;
    for (;;) {
        const std::string_view chunk = file_.Next(chunkSize);
        if (chunk.empty())
            break;
        if (env_.flags.StopOrClosing())
            break;
        if (env_.settings.showProgress)
            ShowProgress();
        if (lineErrors_.Check(*env_.line)) {
            if (!outcome_.transferError) {
                env_.ShowError(WithDetail(sendIoMessage_ + lineErrors_.lineErrorText + msg::kSendIoErrorSuffix,
                                          lineErrors_.QueryFailureDetail(*env_.line)));
                env_.flags.quitRequested = true;
            }
            env_.log->ErrorLog(logs::msg::kErrWriteIo);
            outcome_.transferError = true;
            break;
        }
        // The chunk view dies with the next read; the display needs its bytes.
        const std::string bytes(chunk);
        if (!WriteChunk(bytes))
            break;
        if (display)
            DisplayChunk(bytes);
        if (env_.settings.sendWaitEnabled) {
            const auto pacing = std::get<SendPacing>(ReadSendPacing(env_.settings));
            env_.clock->Wait(env_.flags, std::chrono::milliseconds(pacing.waitMs));
        }
        if (outcome_.transferError)
            break;
    }
}

void SendLoop::ShowProgress()
{
    // A bar moves in steps of a thousandth: more calls would only cost the
    // front end time on a fast line or a big file.
    const long long size = file_.Size();
    const long long step = size > 0 ? file_.Position() * 1000 / size : 0;
    if (step == lastProgressStep_)
        return;
    lastProgressStep_ = step;
    env_.ui.SetProgress(file_.Position(), size);
}

void SendLoop::FailWrite(const char* message, std::string_view logWord, bool showUnlessError)
{
    if (!showUnlessError || !outcome_.transferError) {
        env_.ShowError(WithDetail(message, env_.line->LastError()));
    }
    outcome_.transferError = true;
    env_.log->ErrorLog(logWord);
    env_.flags.quitRequested = true;
}

bool SendLoop::WriteChunk(std::string_view chunk)
{
    const serial::IoResult result = env_.line->Write(chunk.data(), chunk.size());
    bytesSent_ += result.count;
    switch (result.status) {
    case serial::IoStatus::Ok:
        if (result.count != chunk.size()) {
            FailWrite(msg::kWriteSynchroError, logs::msg::kErrWriteSynchro, true);
            return false;
        }
        return true;
    case serial::IoStatus::Interrupted:
        // Reset or close ended a write held up by the machine: that is a
        // stop, not a line fault, and the flags say which.
        return false;
    case serial::IoStatus::Failed:
        if (result.count == 0)
            FailWrite(msg::kWriteUnsynchroError, logs::msg::kErrWriteUnsynchro, true);
        else
            FailWrite(msg::kNoBytesWritten, logs::msg::kErrNoBytesWrite, true);
        return false;
    }
    return false;
}

void SendLoop::DisplayChunk(std::string_view chunk)
{
    for (;;) {
        const std::size_t lf = chunk.find('\n');
        const std::string_view piece = chunk.substr(0, lf);
        if (!lineOverflow_) {
            const std::size_t room = kMaxDisplayLine - lineBuffer_.size();
            lineBuffer_.append(piece.substr(0, room));
            lineOverflow_ = piece.size() > room;
        }
        if (lf == std::string_view::npos)
            return;
        std::string line;
        line.swap(lineBuffer_);
        lineOverflow_ = false;
        DisplayLine(std::move(line));
        if (outcome_.transferError || env_.flags.StopOrClosing())
            return;
        chunk.remove_prefix(lf + 1);
    }
}

void SendLoop::DisplayLine(std::string raw)
{
    std::string_view line = TrimTrailing(raw, "\r\n\t ");
    std::size_t lead = 0;
    while (lead < line.size() && static_cast<unsigned char>(line[lead]) < 0x21)
        ++lead;
    line.remove_prefix(lead);

    if (!NoConversion() && line.substr(0, kSourceFileTag.size()) == kSourceFileTag) {
        sourceFileName_ = text::Cp932ToUtf8Lossy(TrimTrailing(line.substr(kSourceFileTag.size()), "\r\n\t) "));
        if (mode_ == TransferMode::Send)
            env_.ui.ShowFileName(" " + sourceFileName_ + msg::kBoxSending);
    }
    if (env_.settings.showData) {
        env_.ui.AppendDataLine(text::Cp932ToUtf8Lossy(line));
        if (++displayedLines_ > kMaxDataViewLines) {
            env_.ui.ClearDataView();
            displayedLines_ = 0;
        }
    }
    const std::string status = blockStatus_.Update(line, env_.settings.showComments, mode_, env_.displayName);
    if (!status.empty())
        env_.ui.ShowStatus(status);
    if (env_.remainingTime && env_.settings.showRemainingTime && env_.dncMode &&
        !env_.remainingTime->LineSent(std::string(line)))
        outcome_.transferError = true;
}

void SendLoop::ShowCycleTime()
{
    if (!cycleStartTaken_)
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(env_.clock->Now() - cycleStart_);
    cycleTimeText_ = FormatCycleTime(elapsed);
    const std::string last = FormatLastCycleTime(elapsed);
    env_.ui.RunOnUiThread([this, last] { env_.mainWindow.SetLastCycleTime(last); });
    env_.ui.ShowStatus(msg::kCycleTimePrefix + cycleTimeText_ + msg::kBytesSentPrefix +
                       text::FormatThousands(std::to_string(bytesSent_)) + msg::kBytesSuffix);
}

void SendLoop::ExitCountdown()
{
    if (outcome_.transferError) {
        env_.ShowPlain(msg::kCannotExitAfterError);
        return;
    }
    const long long seconds = std::get<SendPacing>(ReadSendPacing(env_.settings)).exitSeconds;
    const auto start = env_.clock->Now();
    while (!env_.flags.stopRequested && !env_.flags.closing) {
        const auto elapsed = env_.clock->Now() - start;
        const long long e = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
        if (e > seconds)
            break;
        if (e >= 1)
            ShowFileName(msg::kBoxExitCountdown + std::to_string(seconds - e + 1) + msg::kSeconds);
        const auto nextSecond = std::chrono::seconds(e + 1) - elapsed;
        env_.clock->Wait(env_.flags, std::chrono::duration_cast<std::chrono::milliseconds>(nextSecond) +
                                         std::chrono::milliseconds(1));
    }
    if (env_.flags.stopRequested || env_.flags.closing)
        return;
    env_.ui.ShowFileName({});
    env_.ui.ShowStatus(msg::kStatusClosing);
    env_.ui.RunOnUiThread([this] { env_.mainWindow.SetIdleControls(); });
    env_.flags.quitRequested = true;
    EndTransferOnUi();
}

} // namespace maroka::transfer
