#include "core/serial/TcpSerialLine.h"

#include "core/serial/SystemCalls.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace maroka::serial {

namespace {

using Clock = std::chrono::steady_clock;
namespace tn = telnet;

constexpr int kCloseFlushLimitMs = 2000;
// Keep-alive: a server that vanished without a word is noticed within about
// half a minute even while the line is idle.
constexpr int kKeepIdleSeconds = 10;
constexpr int kKeepIntervalSeconds = 5;
constexpr int kKeepCount = 3;

bool ConnectionGone(int errorNumber)
{
    return errorNumber == ECONNRESET || errorNumber == EPIPE || errorNumber == ETIMEDOUT ||
           errorNumber == EHOSTUNREACH || errorNumber == ENETUNREACH || errorNumber == ENOTCONN;
}

// Options we take part in: binary both ways so that CR and NUL pass as they
// are, go-ahead suppressed, and the COM-PORT option on our side.
bool WantOurs(unsigned char option, bool rfc2217)
{
    return option == tn::kOptBinary || option == tn::kOptSuppressGoAhead || (rfc2217 && option == tn::kOptComPort);
}

bool WantTheirs(unsigned char option)
{
    return option == tn::kOptBinary || option == tn::kOptSuppressGoAhead;
}

void SetSocketOptions(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds, sizeof kKeepIntervalSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
}

// One address, within the time left. Returns the socket or -1 with `error` set.
int ConnectTo(const addrinfo& address, Clock::time_point deadline, int& error)
{
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd == -1) {
        error = errno;
        return -1;
    }
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return fd;
    if (errno != EINPROGRESS) {
        error = errno;
        close(fd);
        return -1;
    }
    for (;;) {
        const int left = MillisecondsUntil(deadline);
        pollfd p{fd, POLLOUT, 0};
        const int ready = left > 0 ? poll(&p, 1, left) : 0;
        if (ready == -1 && errno == EINTR)
            continue;
        if (ready <= 0) {
            error = ready == 0 ? ETIMEDOUT : errno;
            close(fd);
            return -1;
        }
        int soError = 0;
        socklen_t length = sizeof soError;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
        if (soError != 0) {
            error = soError;
            close(fd);
            return -1;
        }
        return fd;
    }
}

} // namespace

TcpOpenResult TcpSerialLine::Open(const std::string& name)
{
    TcpOpenResult result;
    const auto address = ParseNetworkPortName(name);
    if (!address) {
        result.error = name + ": not a device server address (rfc2217://host:port or tcp://host:port)";
        return result;
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd == -1) {
        result.error = name + ": " + ErrnoText(errno);
        return result;
    }
    std::unique_ptr<TcpSerialLine> line(new TcpSerialLine(name, *address, wakeFd));
    std::string error;
    if (!line->Connect(error)) {
        result.error = name + ": " + error;
        return result;
    }
    result.line = std::move(line);
    return result;
}

TcpSerialLine::TcpSerialLine(std::string name, NetworkPortName address, int wakeFd)
    : PacedSerialLine(std::move(name), wakeFd), address_(std::move(address))
{
    LineSettings settings;
    settings.EvtChar = kXon;
    ApplySettings(settings);
}

TcpSerialLine::~TcpSerialLine()
{
    Close();
}

bool TcpSerialLine::Connect(std::string& error)
{
    Disconnect();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int e = getaddrinfo(address_.host.c_str(), address_.service.c_str(), &hints, &found); e != 0) {
        error = "cannot find the host " + address_.host + ": " + gai_strerror(e);
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    int lastError = ETIMEDOUT;
    for (const addrinfo* a = found; a != nullptr && fd_ < 0 && MillisecondsUntil(deadline) > 0; a = a->ai_next)
        fd_ = ConnectTo(*a, deadline, lastError);
    freeaddrinfo(found);
    if (fd_ < 0) {
        if (lastError == ETIMEDOUT)
            error = "no answer from " + address_.host + " port " + address_.service + " within " +
                    std::to_string(kConnectTimeoutMs / 1000) + " s";
        else if (lastError == ECONNREFUSED)
            error = "no device server listens at " + address_.host + " port " + address_.service;
        else
            error = "cannot connect to " + address_.host + " port " + address_.service + ": " + ErrnoText(lastError);
        return false;
    }
    SetSocketOptions(fd_);
    hungUp_ = false;
    if (!Negotiate(error)) {
        Disconnect();
        return false;
    }
    return true;
}

bool TcpSerialLine::Negotiate(std::string& error)
{
    const auto refusedAs = [&](const std::string& text) {
        error = text;
        return false;
    };
    usEnabled_ = {};
    himEnabled_ = {};
    awaiting_ = {};
    neverAnswered_ = {};
    comPortAgreed_ = false;
    comPortRefused_ = false;
    decoder_ = {};
    std::string hello;
    if (Rfc2217()) {
        for (const unsigned char option : {tn::kOptComPort, tn::kOptBinary, tn::kOptSuppressGoAhead}) {
            hello += tn::Negotiation(tn::kWill, option);
            usEnabled_[option] = true;
        }
        for (const unsigned char option : {tn::kOptBinary, tn::kOptSuppressGoAhead}) {
            hello += tn::Negotiation(tn::kDo, option);
            himEnabled_[option] = true;
        }
        if (!Send(hello))
            return refusedAs(LastError().substr(Name().size() + 2));
    }
    // A server that turns a client away says so and closes at once; wait a
    // moment for that (and, over RFC 2217, for the option's answer).
    const auto start = Clock::now();
    const auto refusalEnd = start + std::chrono::milliseconds(kRefusalWindowMs);
    const auto deadline = start + std::chrono::milliseconds(kNegotiationTimeoutMs);
    for (;;) {
        if (!TakeInput() || hungUp_)
            return refusedAs("the port is in use by another program (the device server closed the connection)");
        if (comPortRefused_)
            return refusedAs("the device server does not offer RFC 2217 (use tcp:// for a raw port)");
        const auto now = Clock::now();
        const bool waitingForOption = Rfc2217() && !comPortAgreed_;
        if (!waitingForOption && now >= refusalEnd)
            break;
        if (waitingForOption && now >= deadline)
            return refusedAs("the device server did not take up RFC 2217 within " +
                             std::to_string(kNegotiationTimeoutMs / 1000) + " s (use tcp:// for a raw port)");
        const auto until = waitingForOption ? deadline : refusalEnd;
        pollfd p{fd_, POLLIN, 0};
        poll(&p, 1, std::max(CeilMilliseconds(until - now), 1));
    }
    return true;
}

void TcpSerialLine::Disconnect()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    outbox_.clear();
    Pacer().Forget();
    Filter().ResumeOutput();
}

void TcpSerialLine::MarkHungUp()
{
    hungUp_ = true;
    outbox_.clear();
    SetError(std::string(kDeviceGoneText));
}

bool TcpSerialLine::FailNotConnected()
{
    return SetError(hungUp_ ? std::string(kDeviceGoneText) : "the port is not open");
}

bool TcpSerialLine::TakeInput()
{
    if (!IsConnected())
        return false;
    int error = 0;
    const InputEnd end = ReadInput(error);
    if (end == InputEnd::Closed || (end == InputEnd::Failed && ConnectionGone(error)))
        MarkHungUp();
    else if (end == InputEnd::Failed)
        Fail("reading", error);
    if (end != InputEnd::Empty)
        return false;
    // Answers to the server's requests go out at once.
    return outbox_.empty() || FlushOutbox();
}

ssize_t TcpSerialLine::ReadSome(unsigned char* buffer, std::size_t size)
{
    return RetryOnEintr([&] { return ::recv(fd_, buffer, size, 0); });
}

void TcpSerialLine::TakePiece(const unsigned char* data, std::size_t size)
{
    if (!Rfc2217()) {
        Filter().Take(data, size);
        return;
    }
    decoded_.clear();
    events_.clear();
    decoder_.Feed(data, size, decoded_, events_);
    Filter().Take(reinterpret_cast<const unsigned char*>(decoded_.data()), decoded_.size());
    for (const tn::TelnetEvent& event : events_)
        HandleEvent(event);
}

void TcpSerialLine::HandleEvent(const tn::TelnetEvent& event)
{
    if (event.kind == tn::TelnetEvent::Kind::Negotiation)
        HandleNegotiation(event.verb, event.option);
    else if (event.option == tn::kOptComPort && !event.payload.empty())
        HandleComPort(event.payload);
}

void TcpSerialLine::HandleNegotiation(unsigned char verb, unsigned char option)
{
    // Answer only a change, so that two sides never loop.
    switch (verb) {
    case tn::kDo:
        if (option == tn::kOptComPort)
            comPortAgreed_ = true;
        if (WantOurs(option, Rfc2217())) {
            if (!usEnabled_[option]) {
                usEnabled_[option] = true;
                outbox_ += tn::Negotiation(tn::kWill, option);
            }
        } else {
            outbox_ += tn::Negotiation(tn::kWont, option);
        }
        break;
    case tn::kDont:
        if (option == tn::kOptComPort)
            comPortRefused_ = true;
        if (usEnabled_[option]) {
            usEnabled_[option] = false;
            outbox_ += tn::Negotiation(tn::kWont, option);
        }
        break;
    case tn::kWill:
        if (WantTheirs(option)) {
            if (!himEnabled_[option]) {
                himEnabled_[option] = true;
                outbox_ += tn::Negotiation(tn::kDo, option);
            }
        } else {
            outbox_ += tn::Negotiation(tn::kDont, option);
        }
        break;
    case tn::kWont:
        if (himEnabled_[option]) {
            himEnabled_[option] = false;
            outbox_ += tn::Negotiation(tn::kDont, option);
        }
        break;
    default:
        break;
    }
}

void TcpSerialLine::HandleComPort(const std::string& payload)
{
    const unsigned char code = static_cast<unsigned char>(payload[0]);
    if (code < tn::kServerOffset)
        return; // a request meant for a server
    const unsigned char command = static_cast<unsigned char>(code - tn::kServerOffset);
    const unsigned char value = payload.size() > 1 ? static_cast<unsigned char>(payload[1]) : 0;
    if (command == tn::kNotifyLineState) {
        std::uint32_t errors = 0;
        if ((value & tn::kLineOverrun) != 0)
            errors |= kErrOverrun;
        if ((value & tn::kLineParity) != 0)
            errors |= kErrParity;
        if ((value & tn::kLineFraming) != 0)
            errors |= kErrFrame;
        if ((value & tn::kLineBreak) != 0) {
            errors |= kErrBreak;
            pendingEvents_ |= kEvBreak;
        }
        if ((errors & ~static_cast<std::uint32_t>(kErrBreak)) != 0)
            pendingEvents_ |= kEvErr;
        pendingErrors_ |= errors;
        return;
    }
    if (command == tn::kNotifyModemState) {
        if ((value & tn::kModemDeltaCts) != 0)
            pendingEvents_ |= kEvCts;
        if ((value & tn::kModemDeltaDsr) != 0)
            pendingEvents_ |= kEvDsr;
        if ((value & tn::kModemDeltaCd) != 0)
            pendingEvents_ |= kEvRlsd;
        return;
    }
    if (awaiting_[command] > 0)
        --awaiting_[command];
    if (command == tn::kSetBaudRate && payload.size() >= 5) {
        answeredBaud_ = static_cast<std::uint32_t>(static_cast<unsigned char>(payload[1])) << 24 |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(payload[2])) << 16 |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(payload[3])) << 8 |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(payload[4]));
    }
}

bool TcpSerialLine::Send(const std::string& bytes)
{
    outbox_ += bytes;
    return FlushOutbox();
}

bool TcpSerialLine::FlushOutbox()
{
    while (!outbox_.empty()) {
        const ssize_t n =
            RetryOnEintr([&] { return ::send(fd_, outbox_.data(), outbox_.size(), MSG_NOSIGNAL | MSG_DONTWAIT); });
        if (n > 0) {
            outbox_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        const int e = errno;
        if (n == -1 && (e == EAGAIN || e == EWOULDBLOCK))
            return true; // the rest goes when the socket has room
        if (n == -1 && !ConnectionGone(e))
            return Fail("writing", e);
        MarkHungUp();
        return false;
    }
    return true;
}

bool TcpSerialLine::SendComPort(unsigned char command, const std::string& value)
{
    ++awaiting_[command];
    return Send(tn::ComPortCommand(command, value));
}

bool TcpSerialLine::AwaitAnswers(int timeoutMs)
{
    for (std::size_t code = 0; code < awaiting_.size(); ++code)
        awaiting_[code] = std::max(0, awaiting_[code] - neverAnswered_[code]);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!TakeInput())
            return false;
        const bool allAnswered = std::all_of(awaiting_.begin(), awaiting_.end(), [](int n) { return n == 0; });
        const int left = MillisecondsUntil(deadline);
        if (allAnswered || left == 0)
            break;
        pollfd p{fd_, static_cast<short>(POLLIN | (outbox_.empty() ? 0 : POLLOUT)), 0};
        poll(&p, 1, left);
    }
    // A server may leave a command unanswered for good (DTR and RTS on a port
    // without modem lines): on this connection those are not waited for again.
    for (std::size_t code = 0; code < awaiting_.size(); ++code)
        neverAnswered_[code] = std::max(neverAnswered_[code], awaiting_[code]);
    awaiting_ = {};
    return true;
}

pollfd TcpSerialLine::LinePollFd(short events) const
{
    if (!outbox_.empty())
        events |= POLLOUT;
    return {fd_, events, 0};
}

bool TcpSerialLine::Poll(pollfd (&fds)[2], int timeoutMs)
{
    return RetryOnEintr([&] { return ::poll(fds, 2, timeoutMs); }) != -1 || Fail("waiting on the connection", errno);
}

void TcpSerialLine::OnHangUp()
{
    TakeInput();
    if (!hungUp_)
        MarkHungUp();
}

bool TcpSerialLine::GetProperties(QueueSizes& sizes)
{
    if (fd_ < 0 && !hungUp_)
        return FailNotConnected();
    sizes = QueueSizes{};
    return true;
}

bool TcpSerialLine::GetState(LineSettings& settings)
{
    if (fd_ < 0 && !hungUp_)
        return FailNotConnected();
    settings = Settings();
    return true;
}

bool TcpSerialLine::SetState(const LineSettings& settings)
{
    if (settings.BaudRate == 0)
        return SetError("0 is not a baud rate");
    if (hungUp_) {
        // The start of a transfer after a drop: connect again.
        std::string error;
        if (!Connect(error))
            return SetError(error);
    }
    if (fd_ < 0)
        return FailNotConnected();
    if (Rfc2217()) {
        answeredBaud_ = 0;
        const bool hardware = settings.fOutxCtsFlow || settings.fRtsControl == kRtsControlHandshake;
        bool sent = SendComPort(tn::kSetBaudRate, tn::BaudValue(settings.BaudRate)) &&
                    SendComPort(tn::kSetDataSize, std::string(1, static_cast<char>(tn::DataSizeValue(settings)))) &&
                    SendComPort(tn::kSetParity, std::string(1, static_cast<char>(tn::ParityValue(settings)))) &&
                    SendComPort(tn::kSetStopSize, std::string(1, static_cast<char>(tn::StopSizeValue(settings))));
        for (const unsigned char value : tn::FlowControlValues(settings))
            sent = sent && SendComPort(tn::kSetControl, std::string(1, static_cast<char>(value)));
        sent = sent &&
               SendComPort(tn::kSetControl,
                           std::string(1, static_cast<char>(settings.fDtrControl != 0 ? tn::kDtrOn : tn::kDtrOff)));
        if (!hardware)
            sent = sent &&
                   SendComPort(tn::kSetControl,
                               std::string(1, static_cast<char>(settings.fRtsControl != 0 ? tn::kRtsOn : tn::kRtsOff)));
        // Errors and breaks, and changes of CTS, DSR and CD.
        sent =
            sent &&
            SendComPort(tn::kSetLineStateMask, std::string(1, static_cast<char>(tn::kLineOverrun | tn::kLineParity |
                                                                                tn::kLineFraming | tn::kLineBreak))) &&
            SendComPort(tn::kSetModemStateMask,
                        std::string(1, static_cast<char>(tn::kModemDeltaCts | tn::kModemDeltaDsr | tn::kModemDeltaCd)));
        if (!sent || !AwaitAnswers(kAckWaitMs))
            return false;
        const std::uint64_t wanted = settings.BaudRate;
        const std::uint64_t got = answeredBaud_;
        if (got != 0 && (got > wanted ? got - wanted : wanted - got) * 50 > wanted)
            return SetError("the device server does not take " + std::to_string(settings.BaudRate) + " baud");
    }
    ApplySettings(settings);
    return true;
}

bool TcpSerialLine::ClearErrors(LineErrorState& state)
{
    if (fd_ < 0 && !hungUp_)
        return FailNotConnected();
    const bool failed = !TakeInput();
    if (failed && Filter().Buffered() == 0)
        return false;
    state.errors = pendingErrors_;
    pendingErrors_ = 0;
    state.inputQueued = Filter().Buffered();
    return true;
}

bool TcpSerialLine::ClearBreak()
{
    if (!IsConnected())
        return hungUp_ || FailNotConnected();
    if (Rfc2217())
        return SendComPort(tn::kSetControl, std::string(1, static_cast<char>(tn::kBreakOff)));
    return true;
}

bool TcpSerialLine::Purge(std::uint32_t purgeBits)
{
    const auto [input, output] = PurgeOurs(purgeBits);
    if (!IsConnected())
        return hungUp_ || FailNotConnected();
    if (!Rfc2217() || (!input && !output))
        return true;
    // The outbox holds at most a slice and may end inside an escape: it goes
    // out, and the server throws away what it has not sent yet.
    const unsigned char which = input && output ? tn::kPurgeBoth : input ? tn::kPurgeReceive : tn::kPurgeTransmit;
    return SendComPort(tn::kPurgeData, std::string(1, static_cast<char>(which)));
}

int TcpSerialLine::StartEventWait(std::uint32_t)
{
    // Modem and line changes count from the start of the wait.
    TakeInput();
    pendingEvents_ = 0;
    return -1;
}

std::uint32_t TcpSerialLine::StatusEvents(std::uint32_t mask)
{
    const std::uint32_t seen = pendingEvents_ & mask;
    pendingEvents_ &= ~seen;
    return seen;
}

int TcpSerialLine::RoomWaitMs()
{
    // A full outbox: the socket is full, the server is not taking bytes.
    return outbox_.empty() ? 0 : kMaxQueueWaitMs;
}

PacedSerialLine::Handed TcpSerialLine::HandOver(const char* data, std::size_t size)
{
    if (Rfc2217())
        tn::AppendEscaped(outbox_, data, size);
    else
        outbox_.append(data, size);
    return {size, FlushOutbox() ? IoStatus::Ok : IoStatus::Failed};
}

PacedSerialLine::HeldOutput TcpSerialLine::OutputHeld()
{
    // Done when the server has every byte (the socket's queue is empty) and
    // the wire model says the line has carried them.
    int unsent = 0;
    if (ioctl(fd_, SIOCOUTQ, &unsent) == -1)
        unsent = 0;
    if (outbox_.empty() && unsent <= 0)
        return {HeldOutput::State::Nothing};
    return {HeldOutput::State::Some, kMaxQueueWaitMs / 5};
}

bool TcpSerialLine::TransmitChar(char byte)
{
    if (!IsConnected())
        return FailNotConnected();
    std::string bytes;
    if (Rfc2217())
        tn::AppendEscaped(bytes, &byte, 1);
    else
        bytes.push_back(byte);
    Pacer().Sent(1, Clock::now());
    return Send(bytes);
}

bool TcpSerialLine::Close()
{
    if (fd_ < 0) {
        hungUp_ = false;
        return true;
    }
    if (!hungUp_) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kCloseFlushLimitMs);
        while (!outbox_.empty() && MillisecondsUntil(deadline) > 0 && FlushOutbox()) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, std::min(MillisecondsUntil(deadline), kMaxQueueWaitMs));
        }
    }
    Disconnect();
    hungUp_ = false;
    Filter().ClearInput();
    return true;
}

std::string TcpSerialLine::TakeNotice()
{
    if (Rfc2217() || noticeGiven_)
        return {};
    noticeGiven_ = true;
    return Name() + ": a raw TCP port: the baud rate, data format and flow control are set on the device server";
}

} // namespace maroka::serial
