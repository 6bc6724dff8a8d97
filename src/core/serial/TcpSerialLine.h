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
//                as on a tty (PacedSerialLine)
//   Drain        until the socket's queue is empty and the wire model idle
//   Close        sends what is left, closes the connection
//
// The server owns the port: a second client is turned away by the server,
// which reads here as a port in use. A connection that drops is a device that
// is gone; the next SetState (the start of the next transfer) connects again.

#include "core/serial/NetworkPortName.h"
#include "core/serial/PacedSerialLine.h"
#include "core/serial/Rfc2217Codec.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace maroka::serial {

class TcpSerialLine;

struct TcpOpenResult {
    std::unique_ptr<TcpSerialLine> line; // null when the open failed
    std::string error;                   // "<name>: <reason>"
};

class TcpSerialLine final : public PacedSerialLine {
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

    bool GetProperties(QueueSizes& sizes) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;

    bool ClearErrors(LineErrorState& state) override;
    bool ClearBreak() override;
    bool Purge(std::uint32_t purgeBits) override;

    bool TransmitChar(char byte) override;

    bool Close() override;

    std::string TakeNotice() override;

private:
    TcpSerialLine(std::string name, NetworkPortName address, int wakeFd);

    bool Connect(std::string& error);
    bool Negotiate(std::string& error);
    void Disconnect();
    bool IsConnected() const { return fd_ >= 0 && !hungUp_; }
    bool Rfc2217() const { return address_.protocol == NetworkProtocol::Rfc2217; }

    bool CheckOutput() override { return IsConnected() || FailNotConnected(); }
    bool CheckInput() override { return fd_ >= 0 || hungUp_ || FailNotConnected(); }
    // Moves what the socket holds through the Telnet decoder and the filter.
    bool TakeInput() override;
    ssize_t ReadSome(unsigned char* buffer, std::size_t size) override;
    // Through the Telnet decoder for RFC 2217.
    void TakePiece(const unsigned char* data, std::size_t size) override;
    // Also watches for room while the outbox holds bytes.
    pollfd LinePollFd(short events) const override;
    bool Poll(pollfd (&fds)[2], int timeoutMs) override;
    void OnHangUp() override;
    int RoomWaitMs() override;
    Handed HandOver(const char* data, std::size_t size) override;
    bool SendPending() override { return outbox_.empty() || FlushOutbox(); }
    HeldOutput OutputHeld() override;
    int StartEventWait(std::uint32_t mask) override;
    std::uint32_t StatusEvents(std::uint32_t mask) override;

    void HandleEvent(const telnet::TelnetEvent& event);
    void HandleNegotiation(unsigned char verb, unsigned char option);
    void HandleComPort(const std::string& payload);

    // Queues bytes for the socket and sends what it takes now.
    bool Send(const std::string& bytes);
    bool FlushOutbox();
    bool SendComPort(unsigned char command, const std::string& value);
    // Waits until every command sent has its answer, or the wait is over.
    bool AwaitAnswers(int timeoutMs);

    void MarkHungUp();
    bool FailNotConnected();

    NetworkPortName address_;
    int fd_ = -1;
    bool hungUp_ = false;

    telnet::TelnetDecoder decoder_;
    std::string outbox_;
    std::string decoded_;
    std::vector<telnet::TelnetEvent> events_;

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
};

} // namespace maroka::serial
