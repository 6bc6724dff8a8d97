#pragma once

// The serial line behind a serial device server, over TCP.
//
//   Open         resolves and connects within kConnectTimeoutMs; for RFC 2217
//                negotiates the COM-PORT option (and binary mode both ways)
//   SetState     RFC 2217: baud rate, data size, parity, stop size, flow
//                control, DTR/RTS, each answered by the server or waited for
//                at most kAckWaitMs together (what went unanswered once is
//                not waited for again on the connection); raw: kept here only
//   ClearErrors  line-state notifications of the server, bytes ready to read
//   Purge        our buffers, and the server's through PURGE-DATA
//   WaitEvent    poll on the socket and a wake-up eventfd; modem-state and
//                line-state notifications are the line events
//   Write        IAC-escaped, paced and under the machine's XON/XOFF exactly
//                as on a tty (LinePacer, LineInputFilter)
//   Close        sends what is left, closes the connection
//
// The server owns the port: a second client is turned away by the server,
// which reads here as a port in use. A connection that drops is a device that
// is gone; the next SetState (the start of the next transfer) connects again.

#include "core/serial/LineInputFilter.h"
#include "core/serial/LinePacer.h"
#include "core/serial/NetworkPortName.h"
#include "core/serial/Rfc2217Codec.h"
#include "core/serial/SerialLine.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace maroka::serial {

class TcpSerialLine;

struct TcpOpenResult {
    std::unique_ptr<TcpSerialLine> line; // null when the open failed
    std::string error;                   // "<name>: <reason>"
};

class TcpSerialLine final : public SerialLine {
public:
    static constexpr int kConnectTimeoutMs = 5000;
    // How long the COM-PORT option's answer is waited for after connecting.
    static constexpr int kNegotiationTimeoutMs = 3000;
    // How long the answers to one SetState are waited for, all together.
    static constexpr int kAckWaitMs = 1000;
    // A server that closes a new connection this soon has turned it away.
    static constexpr int kRefusalWindowMs = 300;

    static TcpOpenResult Open(const std::string& name);

    ~TcpSerialLine() override;
    TcpSerialLine(const TcpSerialLine&) = delete;
    TcpSerialLine& operator=(const TcpSerialLine&) = delete;

    const std::string& Name() const override { return name_; }

    bool GetProperties(QueueSizes& sizes) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;

    bool ClearErrors(LineErrorState& state) override;
    bool ClearBreak() override;
    bool Purge(std::uint32_t purgeBits) override;

    IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override;

    IoResult Write(const char* data, std::size_t size) override;
    IoResult ReadAvailable(char* data, std::size_t size) override;
    IoStatus WaitReadable(int timeoutMs) override;
    IoStatus Drain() override;
    bool TransmitChar(char byte) override;

    void Interrupt() override;
    void ClearInterrupt() override;

    bool Close() override;

    std::string LastError() const override;
    std::string TakeNotice() override;

    bool OutputStopped() const { return filter_.OutputStopped(); }

private:
    enum class ReadResult {
        Ok,
        Failed,
    };

    TcpSerialLine(std::string name, NetworkPortName address, int wakeFd);

    bool Connect(std::string& error);
    bool Negotiate(std::string& error);
    void Disconnect();
    bool IsConnected() const { return fd_ >= 0 && !hungUp_; }
    bool Rfc2217() const { return address_.protocol == NetworkProtocol::Rfc2217; }

    // Moves what the socket holds through the Telnet decoder and the filter.
    ReadResult ReadSocket();
    void HandleEvent(const telnet::TelnetEvent& event);
    void HandleNegotiation(unsigned char verb, unsigned char option);
    void HandleComPort(const std::string& payload);

    // Queues bytes for the socket and sends what it takes now.
    bool Send(const std::string& bytes);
    bool FlushOutbox();
    bool SendComPort(unsigned char command, const std::string& value);
    // Waits until every command sent has its answer, or the wait is over.
    bool AwaitAnswers(int timeoutMs);

    IoStatus WaitOnSocket(short events, int timeoutMs);
    bool Interrupted() const { return interrupted_.load(std::memory_order_acquire); }
    void MarkHungUp();
    bool Fail(const std::string& what, int errorNumber);
    bool FailNotConnected();

    std::string name_;
    NetworkPortName address_;
    int fd_ = -1;
    int wakeFd_ = -1;
    bool hungUp_ = false;

    LineSettings settings_;
    LinePacer pacer_;
    LineInputFilter filter_;
    telnet::TelnetDecoder decoder_;
    std::string outbox_;
    std::string decoded_;

    // Telnet option states: ours (WILL) and the server's (WILL).
    std::array<bool, 256> usEnabled_{};
    std::array<bool, 256> himEnabled_{};
    bool comPortAgreed_ = false;
    bool comPortRefused_ = false;
    // Commands sent and not yet answered, by command code.
    std::array<int, 256> awaiting_{};
    // Per command code, how many of one SetState's commands went unanswered.
    std::array<int, 256> neverAnswered_{};
    std::uint32_t answeredBaud_ = 0;

    std::uint32_t pendingErrors_ = 0; // LineErrorBits since the last ClearErrors
    std::uint32_t pendingEvents_ = 0; // LineEventBits since the wait began

    bool noticeGiven_ = false;

    std::atomic<bool> interrupted_{false};
    std::mutex interruptMutex_;

    std::string lastError_;
};

} // namespace maroka::serial
