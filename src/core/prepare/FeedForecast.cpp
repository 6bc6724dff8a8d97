#include "core/prepare/FeedForecast.h"

#include "core/prepare/MachiningEstimate.h"
#include "core/prepare/PrepareMessages.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <istream>

namespace maroka::prepare {

namespace {

// The sender paces a little under the nominal rate; the model does too.
constexpr double kPaceMargin = 1.01;
// A wait shorter than this leaves no mark. Longer ones count even when each
// is short: a machine that waits 2 ms before every 10 ms block is held back
// all along the stretch.
constexpr double kLeastStopSeconds = 0.001;
constexpr std::size_t kBlockTextBytes = 40;

// One line rate through the model of line and control buffer.
class FeedModel {
public:
    FeedModel(std::uint32_t baudRate, int bitsPerCharacter, std::size_t buffer)
        : baudRate_(baudRate), characterSeconds_(bitsPerCharacter * kPaceMargin / baudRate), buffer_(buffer)
    {
        started_.push_back({0, -1e300});
    }

    // Adds a block of `bytes` that runs `seconds`; true when it has to wait.
    bool AddBlock(std::size_t bytes, double seconds, bool cutting)
    {
        const std::uint64_t total = sent_ + bytes;
        // The block's last byte fits only once enough earlier blocks have
        // left the buffer for execution.
        while (started_.size() > 1 && total - started_.front().bytes > buffer_)
            started_.pop_front();
        const double room = total - started_.front().bytes > buffer_ ? finished_ : started_.front().at;
        arrived_ = std::max(arrived_, room) + static_cast<double>(bytes) * characterSeconds_;
        const double wait = arrived_ - finished_;
        const bool stops = cutting && wait > kLeastStopSeconds;
        if (stops) {
            stopped_ += wait;
            ++stops_;
        }
        const double start = std::max(finished_, arrived_);
        finished_ = start + seconds;
        sent_ = total;
        started_.push_back({total, start});
        return stops;
    }

    std::uint32_t BaudRate() const { return baudRate_; }
    double Stopped() const { return stopped_; }
    std::size_t Stops() const { return stops_; }

private:
    struct Started {
        std::uint64_t bytes; // bytes up to and including this block
        double at;           // when it left the buffer
    };

    std::uint32_t baudRate_;
    double characterSeconds_;
    std::size_t buffer_;
    std::uint64_t sent_ = 0;
    double arrived_ = 0;
    double finished_ = 0;
    double stopped_ = 0;
    std::size_t stops_ = 0;
    std::deque<Started> started_;
};

std::string ShortBlockText(const std::string& block)
{
    std::string cut = block;
    while (!cut.empty() && (cut.back() == '\r' || cut.back() == '\n'))
        cut.pop_back();
    if (cut.size() > kBlockTextBytes)
        cut = std::string(text::CutAtCharBoundary(cut, kBlockTextBytes)) + "...";
    return text::Cp932ToUtf8Lossy(cut);
}

} // namespace

const std::vector<std::uint32_t>& StandardBaudRates()
{
    static const std::vector<std::uint32_t> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

FeedForecast ForecastFeed(std::istream& program, const FeedLine& line)
{
    const std::uint32_t baud = line.baudRate != 0 ? line.baudRate : 9600;
    FeedModel asSet(baud, line.bitsPerCharacter, line.controlBuffer);
    std::vector<FeedModel> standard;
    for (const std::uint32_t rate : StandardBaudRates())
        standard.emplace_back(rate, line.bitsPerCharacter, line.controlBuffer);

    FeedForecast forecast;
    forecast.baudRate = baud;
    MachiningEstimate estimate;
    std::string block;
    std::size_t lineNumber = 0;
    bool cutting = false;
    while (std::getline(program, block)) {
        ++lineNumber;
        const std::size_t bytes = block.size() + (program.eof() ? 0 : 1);
        const double before = estimate.Total();
        // An unclosed comment is the build's business; here it just takes no time.
        estimate.EstimateBlock(block);
        const double seconds = (estimate.Total() - before) * 60;
        if (asSet.AddBlock(bytes, seconds, cutting) && forecast.firstStopLine == 0) {
            forecast.firstStopLine = lineNumber;
            forecast.firstStopBlock = ShortBlockText(block);
        }
        for (FeedModel& model : standard)
            model.AddBlock(bytes, seconds, cutting);
        // Waits before the first motion leave no mark on a part.
        cutting = cutting || seconds > 0;
    }
    forecast.stoppedSeconds = asSet.Stopped();
    forecast.stops = asSet.Stops();
    for (const FeedModel& model : standard) {
        if (model.Stops() == 0) {
            forecast.sufficientBaudRate = model.BaudRate();
            break;
        }
    }
    return forecast;
}

std::string FeedForecastText(const FeedForecast& forecast)
{
    char text[512];
    if (!forecast.Starves()) {
        std::snprintf(text, sizeof text, msg::kFeedHoldsFormat, forecast.baudRate);
        return text;
    }
    std::snprintf(text, sizeof text, msg::kFeedStopsFormat, forecast.baudRate, forecast.firstStopLine,
                  forecast.firstStopBlock.c_str(), forecast.stops, forecast.stoppedSeconds);
    std::string verdict = text;
    if (forecast.sufficientBaudRate) {
        std::snprintf(text, sizeof text, msg::kFeedNeedsFormat, *forecast.sufficientBaudRate);
        verdict += text;
    } else {
        verdict += msg::kFeedTooFast;
    }
    return verdict;
}

} // namespace maroka::prepare
