#include "core/transfer/LineSetup.h"

#include "core/transfer/TransferMessages.h"

#include <algorithm>
#include <charconv>

namespace maroka::transfer {

namespace {

bool IsBlankOrControl(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

constexpr std::uint32_t kReportedQueueDefault = 2048;

std::uint32_t QueueOrDefault(std::uint32_t size)
{
    return size == 0 ? kReportedQueueDefault : size;
}

} // namespace

std::string TrimBox(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::optional<long long> ParseDecimal(const std::string& text)
{
    const std::string trimmed = TrimBox(text);
    if (trimmed.empty())
        return std::nullopt;
    long long value = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (*first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

std::optional<std::string> CheckLineBoxes(const LineBoxTexts& boxes)
{
    if (!TrimBox(boxes.baudRate).empty()) {
        const auto baud = ParseDecimal(boxes.baudRate);
        if (!baud || *baud <= 0 || *baud > 4000000)
            return msg::kBadBaudRatePrefix + boxes.baudRate;
    }
    if (!TrimBox(boxes.stopBits).empty() && !ParseDecimal(boxes.stopBits))
        return msg::kBadStopBitsPrefix + boxes.stopBits;
    return std::nullopt;
}

void FillLineSettings(serial::LineSettings& settings, LineBoxTexts& boxes, const serial::QueueSizes& queues)
{
    if (TrimBox(boxes.stopBits).empty())
        boxes.stopBits = "2";
    if (const auto stop = ParseDecimal(boxes.stopBits)) {
        if (*stop == 1)
            settings.StopBits = serial::kOneStopBit;
        else if (*stop == 2)
            settings.StopBits = serial::kTwoStopBits;
    }

    if (TrimBox(boxes.baudRate).empty())
        boxes.baudRate = "4800";
    if (const auto baud = ParseDecimal(boxes.baudRate); baud && *baud > 0)
        settings.BaudRate = static_cast<std::uint32_t>(*baud);

    if (TrimBox(boxes.dc3).empty())
        boxes.dc3 = "13H";
    settings.XoffChar = TrimBox(boxes.dc3) == "93H" ? serial::kXoff93 : serial::kXoff13;
    settings.XonChar = serial::kXon;

    settings.fOutX = true;
    settings.fInX = true;
    settings.fTXContinueOnXoff = false;

    const bool iso = boxes.code == "ISO";
    settings.ByteSize = iso ? 7 : 8;
    settings.Parity = iso ? serial::kEvenParity : serial::kNoParity;
    settings.fParity = true;
    settings.fBinary = true;
    settings.fRtsControl = serial::kRtsControlHandshake;
    settings.fOutxCtsFlow = true;
    settings.fDtrControl = serial::kDtrControlHandshake;
    settings.fOutxDsrFlow = true;
    settings.fDsrSensitivity = true;
    settings.EofChar = 0;
    settings.fNull = true;
    settings.fAbortOnError = true;
    settings.ErrorChar = 0;
    settings.EvtChar = serial::kXon;
    settings.fErrorChar = false;

    const std::uint32_t q = std::min(QueueOrDefault(queues.maxTransmit), QueueOrDefault(queues.maxReceive));
    settings.XonLim = static_cast<std::uint16_t>(q / 6);
    settings.XoffLim = static_cast<std::uint16_t>(q / 3);
}

serial::LineSettings LineOf(LineBoxTexts boxes)
{
    serial::LineSettings settings;
    FillLineSettings(settings, boxes, {});
    return settings;
}

} // namespace maroka::transfer
