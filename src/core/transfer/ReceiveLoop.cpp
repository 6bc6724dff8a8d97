#include "core/transfer/ReceiveLoop.h"

#include "core/logs/LogMessages.h"
#include "core/platform/ExternalProgram.h"
#include "core/text/ControlCodes.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"
#include "core/text/TextSearch.h"
#include "core/transfer/BlockStatus.h"
#include "core/transfer/LineErrorCheck.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/ReceivedFileRepair.h"
#include "core/transfer/RepairDialogue.h"
#include "core/transfer/SendPacing.h"
#include "core/transfer/TransferMessages.h"

#include <chrono>
#include <cmath>
#include <filesystem>

namespace maroka::transfer {

namespace {

constexpr char kLf = 0x0A;
constexpr char kCr = 0x0D;
constexpr char kDc1 = static_cast<char>(text::kDc1);
constexpr char kDc2 = static_cast<char>(text::kDc2);
constexpr char kDc3 = static_cast<char>(text::kDc3);
constexpr char kDc4 = static_cast<char>(text::kDc4);
constexpr char kEsc = 0x1B;
constexpr std::string_view kGarbledSequence = "&HE:";

constexpr std::size_t kChunkCapacity = 2047; // one read, as the fixed buffers hold it
constexpr std::size_t kMaxLineText = 2047;   // text kept without a line end
constexpr std::uint64_t kCommandLimit = 512;
constexpr int kMaxDataViewLines = 200;
// While nothing is queued the loop sleeps in the line's wait for input, so
// it wakes for data at once and for the time-out within this slice.
constexpr std::chrono::milliseconds kIdleWait{200};
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

bool IsControl(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

std::string_view TrimBlanks(std::string_view text)
{
    std::size_t begin = 0;
    while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    std::size_t end = text.size();
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.substr(begin, end - begin);
}

void RemoveGarbled(std::string& line)
{
    std::erase_if(line,
                  [](char c) { return c == kCr || c == kEsc || c == kDc1 || c == kDc2 || c == kDc3 || c == kDc4; });
    text::ReplaceAll(line, kGarbledSequence, {});
}

// One run of the receive loop on a worker.
class Receiver {
public:
    Receiver(WorkerEnvironment& env, ReceiveContext& context);
    void Run();

private:
    enum class Outcome {
        Done,     // nothing more to do in this run
        Continue, // "継続受信": wait for the next transmission, same file
        Retry,    // repair: receive the same program again
    };

    bool WriteHeadLine();
    bool WaitForFirstByte();
    void ReceivePasses();
    bool ReadPass();
    void SplitLines();
    void HandleLine(std::string line);
    void FlushLongText();
    void FinishLastLine();
    void WriteLine(std::string line, std::size_t leadingControls);
    bool FlushOutput();
    void Display(std::string_view text);
    Outcome FinishReception();
    void ExitCountdown();
    void ReportLineError();
    void ShowStatus(const std::string& text);
    void ShowProgress(bool force);
    void EndTransferOnUi();
    bool Raw() const;
    bool Server() const { return context_.mode == TransferMode::Server; }
    long long ClockSecond() const
    {
        return std::chrono::duration_cast<std::chrono::seconds>(env_.clock->Now()).count();
    }
    bool CommandWait() const { return context_.serverStep == ServerStep::Command; }

    WorkerEnvironment& env_;
    ReceiveContext& context_;
    ReceiveTimings timings_;
    std::string endOfBlock_;
    LineErrorCheck lineErrors_;
    BlockStatus blockStatus_;

    std::string chunk_;
    std::string lineBuffer_;
    std::string output_;          // what this pass writes, in one go
    bool continuingLine_ = false; // the line buffer continues text already written
    std::string lastLineText_;
    bool dataStarted_ = false;
    // The end of data is counted in whole seconds of the clock: "1.5" ends
    // once the second has moved on by two after the last data.
    long long lastDataSecond_ = 0;
    bool interrupted_ = false;
    int displayedLines_ = 0;
    std::string status_; // the status line as this run last set it
    std::chrono::steady_clock::time_point lastProgress_;
};

Receiver::Receiver(WorkerEnvironment& env, ReceiveContext& context)
    : env_(env), context_(context), endOfBlock_(ReceiveEndOfBlock(env.settings.receiveEndOfBlock))
{
    // The session checks the numbers before it starts a worker; a bad one
    // that still gets here keeps the defaults.
    const auto timings = ReadReceiveTimings(env.settings);
    if (const auto* read = std::get_if<ReceiveTimings>(&timings))
        timings_ = *read;
    lineErrors_.onLineError = [this] {
        if (context_.repair && !Server() && env_.settings.repairReceiveErrors)
            RecordReceiveError(*context_.repair, lastLineText_, context_.bytesReceived);
    };
    chunk_.resize(kChunkCapacity);
}

bool Receiver::Raw() const
{
    return env_.settings.noConversionReceive || CommandWait();
}

void Receiver::ShowStatus(const std::string& text)
{
    status_ = text;
    env_.ui.ShowStatus(text);
}

void Receiver::EndTransferOnUi()
{
    env_.ui.RunOnUiThread([this] { env_.mainWindow.EndTransfer(); });
}

void Receiver::Run()
{
    if (context_.mode == TransferMode::Reset)
        return;
    if (context_.repair)
        context_.repair->receptionCount = 0;
    context_.receptionContinued = false;

    if (env_.settings.receiveStartDcEnabled)
        env_.line->TransmitChar(env_.settings.receiveStartDc1 ? kDc1 : kDc2);

    Outcome outcome = Outcome::Retry;
    while (outcome != Outcome::Done) {
        if (outcome == Outcome::Retry && !WriteHeadLine())
            return;
        if (!WaitForFirstByte())
            return;
        env_.log->CommLog(msg::kLogReceiveStart);
        ReceivePasses();
        outcome = FinishReception();
    }
}

bool Receiver::WriteHeadLine()
{
    if (env_.settings.noConversionReceive || !env_.settings.receiveHeadPercent)
        return true;
    const char* failure = nullptr;
    if (!context_.file.Write("%"))
        failure = msg::kCannotWriteReceiveFile;
    else if (!context_.file.Write(endOfBlock_))
        failure = msg::kCannotWriteReceiveLineEnd;
    if (!failure)
        return true;
    context_.writeFailed = true;
    env_.ShowPlain(WithDetail(failure, context_.file.LastError()));
    return false;
}

bool Receiver::WaitForFirstByte()
{
    dataStarted_ = false;
    context_.bytesReceived = 0;
    context_.bytesReceivedText = "0";
    env_.flags.stopRequested = false;
    lineErrors_.lineErrorSeen = false;
    lineErrors_.errorQueryFailed = false;
    context_.repairPending = false;
    context_.transferError = false;
    lineBuffer_.clear();
    output_.clear();
    continuingLine_ = false;
    interrupted_ = false;
    context_.stoppedBeforeData = false;

    if (CommandWait()) {
        env_.ui.ShowFileName(msg::kBoxCommandWait);
    } else {
        env_.ui.ShowFileName(" " + env_.displayName + msg::kBoxWaitingForData);
        if (status_.empty())
            ShowStatus(msg::kStatusOutputFromMachine);
    }
    if (Server())
        ShowStatus(msg::kStatusServerMode);

    serial::IoStatus status = serial::IoStatus::Interrupted;
    std::uint32_t events = 0;
    env_.flags.eventWaitActive = true;
    // A stop that came before the wait began must not be slept through.
    if (!env_.flags.StopOrClosing())
        status = env_.line->WaitEvent(serial::kEvRxChar, events);
    env_.flags.eventWaitActive = false;

    if (status == serial::IoStatus::Failed) {
        // The device failed or went away while nothing had come yet.
        context_.lineFailed = true;
        context_.transferError = true;
        if (Server()) {
            env_.log->ErrorLog(msg::kErrReadIo);
        } else {
            env_.ShowError(WithDetail(msg::kWaitCommEventError, env_.line->LastError()));
            env_.flags.quitRequested = true;
        }
        return false;
    }
    if (env_.flags.closing)
        return false;
    if (status == serial::IoStatus::Interrupted || env_.flags.stopRequested) {
        // Only a Reset interrupts the line while no close is under way.
        env_.flags.stopRequested = true;
        context_.stoppedBeforeData = true;
        EndTransferOnUi();
        return false;
    }
    return true;
}

void Receiver::ReportLineError()
{
    if (!context_.transferError) {
        env_.ShowError(WithDetail(lineErrors_.lineErrorText, lineErrors_.QueryFailureDetail(*env_.line)));
        env_.flags.quitRequested = true;
    }
    context_.transferError = true;
}

void Receiver::ReceivePasses()
{
    while (!env_.flags.StopOrClosing()) {
        if (lineErrors_.Check(*env_.line)) {
            if (lineErrors_.errorQueryFailed) {
                // The line cannot even be asked: the device is gone. No mode
                // goes on from here, or it would spin on a dead line.
                context_.lineFailed = true;
                if (Server()) {
                    env_.log->ErrorLog(msg::kErrReadIo);
                    context_.transferError = true;
                } else {
                    ReportLineError();
                }
                break;
            }
            if (Server()) {
                env_.log->ErrorLog(msg::kErrReadIo);
            } else if (env_.settings.repairReceiveErrors && context_.repair) {
                context_.repairPending = true;
            } else {
                ReportLineError();
                break;
            }
            // Logged or recorded once; the next error is a new one.
            lineErrors_.lineErrorSeen = false;
        }

        if (lineErrors_.inputQueued == 0) {
            if (dataStarted_ && static_cast<double>(ClockSecond() - lastDataSecond_) > timings_.endSeconds)
                break;
            const serial::IoStatus status = env_.clock->WaitForInput(*env_.line, kIdleWait);
            if (status == serial::IoStatus::Interrupted) {
                interrupted_ = true;
                break;
            }
            continue;
        }
        if (!ReadPass())
            break;
        if (context_.transferError)
            break;
        ShowProgress(false);
        dataStarted_ = true;
        lastDataSecond_ = ClockSecond();
    }
    FinishLastLine();
    ShowProgress(true);
}

void Receiver::FinishLastLine()
{
    // A program whose last line has no line end (or whose line ends the
    // loop does not split on) keeps that text, ended as the settings say.
    if (Raw() || context_.writeFailed || env_.flags.closing)
        return;
    if (!continuingLine_ && TrimBlanks(lineBuffer_).empty()) {
        lineBuffer_.clear();
        return;
    }
    std::string rest;
    rest.swap(lineBuffer_);
    HandleLine(std::move(rest));
    if (!FlushOutput())
        context_.transferError = true;
}

bool Receiver::ReadPass()
{
    const std::size_t asked = std::min(lineErrors_.inputQueued, kChunkCapacity);
    const serial::IoResult result = env_.line->ReadAvailable(chunk_.data(), asked);
    if (result.status == serial::IoStatus::Interrupted) {
        interrupted_ = true;
        return false;
    }
    if (result.status == serial::IoStatus::Failed) {
        if (Server()) {
            env_.log->ErrorLog(msg::kErrReadUnsynchro);
        } else {
            env_.ShowError(WithDetail(msg::kReadUnsynchroError, env_.line->LastError()));
            env_.flags.quitRequested = true;
        }
        context_.lineFailed = true;
        context_.transferError = true;
        return false;
    }
    if (result.count < asked && !context_.transferError) {
        if (Server()) {
            env_.log->ErrorLog(msg::kErrReadSynchro);
        } else {
            env_.ShowError(msg::kReadSynchroError);
            env_.flags.quitRequested = true;
        }
        context_.transferError = true;
        return false;
    }
    context_.bytesReceived += result.count;
    if (CommandWait() && context_.bytesReceived > kCommandLimit)
        return false;

    const std::string_view chunk(chunk_.data(), result.count);
    if (Raw())
        output_.append(chunk);
    // A NUL (blank tape leader) goes by itself; what follows it stays.
    for (const char c : chunk) {
        if (c != '\0')
            lineBuffer_.push_back(c);
    }
    SplitLines();
    return FlushOutput();
}

bool Receiver::FlushOutput()
{
    if (output_.empty() || context_.writeFailed)
        return !context_.writeFailed;
    const bool written = context_.file.Write(output_);
    output_.clear();
    if (written)
        return true;
    context_.writeFailed = true;
    context_.transferError = true;
    if (!Server())
        env_.flags.quitRequested = true;
    return false;
}

void Receiver::SplitLines()
{
    std::size_t start = 0;
    while (start < lineBuffer_.size()) {
        const std::string_view rest = std::string_view(lineBuffer_).substr(start);
        std::size_t end = rest.find(kLf);
        if (end == std::string_view::npos)
            end = rest.find(kDc4);
        if (end == std::string_view::npos)
            break;
        std::string line(rest.substr(0, end + 1));
        start += end + 1;
        HandleLine(std::move(line));
        if (env_.flags.StopOrClosing() || context_.writeFailed)
            break;
    }
    lineBuffer_.erase(0, start);
    if (lineBuffer_.size() > kMaxLineText && !env_.flags.StopOrClosing() && !context_.writeFailed)
        FlushLongText();
}

void Receiver::HandleLine(std::string line)
{
    const bool raw = Raw();
    if (!raw) {
        while (!line.empty() && (line.back() == kCr || line.back() == kLf || line.back() == kDc4))
            line.pop_back();
        if (env_.settings.convertGarbledCharacters)
            RemoveGarbled(line);
    }
    std::size_t leadingControls = 0;
    while (leadingControls < line.size() && IsControl(static_cast<unsigned char>(line[leadingControls])))
        ++leadingControls;
    lastLineText_ = std::string(TrimBlanks(line));

    if (!raw)
        WriteLine(std::move(line), leadingControls);
    continuingLine_ = false;
    Display(lastLineText_);
}

void Receiver::WriteLine(std::string line, std::size_t leadingControls)
{
    if (continuingLine_) {
        // The start of this line is already in the file: only its end is
        // left, so nothing that belongs to a line's start applies here.
        if (env_.settings.deleteControlCodes) {
            while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20)
                line.pop_back();
        }
        if (line.find('%') != std::string::npos)
            env_.ui.ShowMessage(env_.versionText, msg::kPercentWarning, MessageIcon::Warning, MessageButtons::Ok);
        output_ += line;
        output_ += endOfBlock_;
        return;
    }
    if (env_.settings.deleteControlCodes) {
        line = lastLineText_;
        leadingControls = 0;
    }
    if (env_.settings.colonToO && !line.empty() && line.front() == ':')
        line.front() = 'O';
    if (leadingControls >= line.size() || line[leadingControls] != '%') {
        if (line.find('%') != std::string::npos)
            env_.ui.ShowMessage(env_.versionText, msg::kPercentWarning, MessageIcon::Warning, MessageButtons::Ok);
        output_ += line;
        output_ += endOfBlock_;
        return;
    }
    const std::string_view text = std::string_view(line).substr(leadingControls + 1);
    if (text.empty())
        return; // the machine's own "%" lines: head and tail come from the settings
    if (text.find('%') != std::string_view::npos)
        env_.ui.ShowMessage(env_.versionText, msg::kPercentWarning, MessageIcon::Warning, MessageButtons::Ok);
    output_ += '(';
    output_ += text;
    output_ += ')';
    output_ += endOfBlock_;
}

void Receiver::FlushLongText()
{
    // Text without a line end that fills the buffer goes to the file as it
    // is, with the conversions that do not depend on the line's end, and the
    // rest of the line follows it when its end comes.
    const std::string_view piece = text::CutAtCharBoundary(lineBuffer_, kMaxLineText);
    std::string part(piece);
    lineBuffer_.erase(0, piece.size());
    if (Raw())
        return;
    if (env_.settings.convertGarbledCharacters)
        RemoveGarbled(part);
    if (!continuingLine_) {
        if (env_.settings.deleteControlCodes) {
            std::size_t lead = 0;
            while (lead < part.size() && static_cast<unsigned char>(part[lead]) <= 0x20)
                ++lead;
            part.erase(0, lead);
        }
        if (env_.settings.colonToO && !part.empty() && part.front() == ':')
            part.front() = 'O';
    }
    if (part.find('%') != std::string::npos)
        env_.ui.ShowMessage(env_.versionText, msg::kPercentWarning, MessageIcon::Warning, MessageButtons::Ok);
    output_ += part;
    continuingLine_ = continuingLine_ || !part.empty();
}

void Receiver::Display(std::string_view text)
{
    if (env_.settings.showData) {
        env_.ui.AppendDataLine(text::Cp932ToUtf8Lossy(text));
        if (++displayedLines_ > kMaxDataViewLines) {
            env_.ui.ClearDataView();
            displayedLines_ = 0;
        }
    }
    const std::string status = blockStatus_.Update(text, env_.settings.showComments, context_.mode, env_.displayName);
    if (!status.empty())
        ShowStatus(status);
}

void Receiver::ShowProgress(bool force)
{
    context_.bytesReceivedText = text::FormatThousands(std::to_string(context_.bytesReceived));
    if (!env_.settings.showProgress || context_.bytesReceived == 0)
        return;
    // The count changes with every read; a display at most ten times a
    // second keeps a fast line from being held up by the window.
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastProgress_ < kProgressInterval)
        return;
    lastProgress_ = now;
    env_.ui.ShowFileName(" " + env_.displayName + msg::kBoxReceivingPrefix + context_.bytesReceivedText +
                         msg::kBoxBytesClose);
}

Receiver::Outcome Receiver::FinishReception()
{
    env_.line->Purge(serial::kPurgeRxClear);
    if (env_.flags.StopOrClosing() || interrupted_) {
        env_.log->CommLog(logs::msg::kLogForcedEnd);
        if (!env_.flags.closing) {
            env_.flags.stopRequested = true;
            EndTransferOnUi();
        }
        return Outcome::Done;
    }
    const std::string& bytes = context_.bytesReceivedText;
    env_.ui.ShowFileName(" " + env_.displayName + msg::kBoxReceivedPrefix + bytes + msg::kBoxReceivedSuffix);
    if (context_.repairPending)
        context_.transferError = true;

    if (!context_.transferError) {
        context_.receivedOk = true;
        if (env_.settings.exitAfterReceive && !Server()) {
            env_.log->CommLog(msg::kLogReceiveEnd);
            ExitCountdown();
            return Outcome::Done;
        }
        if (env_.settings.continuousReceive && !Server()) {
            ShowStatus(msg::kStatusReceiveEndPrefix + bytes + msg::kStatusContinueSuffix);
            context_.receptionContinued = true;
            env_.log->CommLog(msg::kLogReceiveContinued);
            return Outcome::Continue;
        }
        if (!CommandWait())
            env_.log->CommLog(msg::kLogReceiveEnd);
        ShowStatus(msg::kStatusReceiveEndPrefix + bytes + msg::kStatusReceiveEndSuffix);
        env_.ui.ShowFileName(" " + env_.displayName + msg::kBoxReceiveEnd);
        return Outcome::Done;
    }

    ShowStatus(msg::kStatusReceiveError);
    if (context_.repairPending) {
        env_.log->CommLog(msg::kLogReceiveFailed);
        if (!CloseReceiveFile(env_, context_)) {
            env_.flags.quitRequested = true;
            return Outcome::Done;
        }
        if (RunRepairDialogue(env_, context_) == RepairDecision::Retry) {
            status_ = msg::kStatusReReceive;
            return Outcome::Retry;
        }
    }
    if (context_.writeFailed)
        env_.ShowPlain(WithDetail(msg::kCannotWriteReceiveFile, context_.file.LastError()));
    return Outcome::Done;
}

void Receiver::ExitCountdown()
{
    const long long limit = timings_.exitSeconds;
    const auto start = env_.clock->Now();
    while (!env_.flags.StopOrClosing()) {
        const auto passed = env_.clock->Now() - start;
        const long long elapsed = std::chrono::duration_cast<std::chrono::seconds>(passed).count();
        if (elapsed > limit)
            break;
        if (elapsed >= 1)
            ShowStatus(msg::kStatusExitAfterReceive + std::to_string(limit - elapsed + 1) + msg::kStatusExitSeconds);
        // Wake just after the count of whole seconds moves on.
        env_.clock->Wait(env_.flags, std::chrono::seconds(elapsed + 1) - passed + std::chrono::milliseconds(1));
    }
    if (env_.flags.StopOrClosing())
        return;
    ShowStatus(msg::kStatusClosing);
    env_.ui.RunOnUiThread([this] { env_.mainWindow.SetIdleControls(); });
    env_.flags.quitRequested = true;
}

} // namespace

std::variant<ReceiveTimings, std::string> ReadReceiveTimings(const settings::SessionSettings& settings)
{
    ReceiveTimings timings;
    const auto end = ParseDecimalNumber(settings.receiveEndSeconds);
    if (!end || *end < 0 || *end > 86400000.0)
        return std::string("受信終了検知時間") + msg::kNotANumberSuffix + settings.receiveEndSeconds;
    timings.endSeconds = *end;
    if (settings.exitAfterReceive) {
        const auto exit = ParseDecimalNumber(settings.exitAfterReceiveSeconds);
        if (!exit || *exit < 0 || *exit > 86400000.0)
            return std::string("受信後終了秒数") + msg::kNotANumberSuffix + settings.exitAfterReceiveSeconds;
        timings.exitSeconds = static_cast<long long>(std::trunc(*exit));
    }
    return timings;
}

std::string ReceiveEndOfBlock(const std::string& setting)
{
    if (setting == "CR+LF")
        return "\r\n";
    if (setting == "LF+CR+CR")
        return "\n\r\r";
    return "\n";
}

bool OpenReceiveFile(WorkerEnvironment& env, ReceiveContext& context)
{
    if (context.file.IsOpen())
        return true;
    if (context.file.Open(context.transferFilePath))
        return true;
    env.ShowError(std::filesystem::path(context.transferFilePath).filename().string() + msg::kCannotOpenSuffix);
    return false;
}

bool CloseReceiveFile(WorkerEnvironment& env, ReceiveContext& context)
{
    if (!context.file.IsOpen())
        return true;
    if (!context.writeFailed && context.serverStep != ServerStep::Command && !env.settings.noConversionReceive &&
        env.settings.receiveTailPercent) {
        const char* failure = nullptr;
        if (!context.file.Write("%"))
            failure = msg::kTailPercentError;
        else if (!context.file.Write(ReceiveEndOfBlock(env.settings.receiveEndOfBlock)))
            failure = msg::kTailLineEndError;
        if (failure) {
            // The file is closed all the same: what came stays in it, and
            // no later clean-up writes a second tail.
            env.ShowPlain(WithDetail(failure, context.file.LastError()));
            context.file.Close();
            return false;
        }
    }
    if (!context.file.Close()) {
        env.ShowError(WithDetail(msg::kCannotCloseReceiveFile, context.file.LastError()));
        return false;
    }
    if (context.serverStep != ServerStep::Command && context.receivedFileClosed) {
        const std::string path = context.transferFilePath;
        env.ui.RunOnUiThread([&context, path] { context.receivedFileClosed(path); });
    }
    return true;
}

void ReceiveLoop(WorkerEnvironment& env, ReceiveContext& context)
{
    Receiver receiver(env, context);
    receiver.Run();
}

bool RunReceive(WorkerEnvironment& env, ReceiveContext& context)
{
    env.ui.ShowProgressBar(false);
    context.lineFailed = false;
    context.repaired = false;
    if (!OpenReceiveFile(env, context))
        return false;
    if (env.settings.repairReceiveErrors && context.mode != TransferMode::Server && !context.repair)
        context.repair = std::make_shared<RepairState>();
    context.receivedOk = false;
    context.writeFailed = false;

    ReceiveLoop(env, context);

    if (context.mode == TransferMode::Server) {
        const bool closed = CloseReceiveFile(env, context);
        return closed && !context.lineFailed;
    }
    context.repair.reset();
    // After a repair episode the loop has closed the file already.
    if (!CloseReceiveFile(env, context))
        return false;
    if (env.settings.openFileAfterReceive && context.receivedOk) {
        const auto opened =
            platform::OpenWithExternal(platform::ExternalKind::Editor, context.transferFilePath, env.settings);
        if (opened.message)
            env.ShowError(*opened.message);
    }
    return true;
}

} // namespace maroka::transfer
