#pragma once

// A small SMTP client over POSIX sockets: greeting, HELO, RSET, MAIL FROM,
// RCPT TO, DATA with the message, QUIT. The host lookup, every connect and
// every whole reply have a time-out, so a dead or babbling server ends in a
// failure within seconds, never a hang: a reply's deadline is set when the
// reply begins and continuation lines do not move it. A cancel predicate,
// looked at several times a second, ends any wait at once.
//
// The client sends bytes as it gets them: the caller converts texts to the
// wire's encoding first. Values that go into a command or a header line lose
// their CR and LF here, so no text can start a line of its own.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::mail {

struct SmtpTimeouts {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds reply{10000}; // a whole reply, all its lines
    std::chrono::milliseconds lookup{10000};
};

// True when the mail should end now (Reset, closing, a signal).
using CancelCheck = std::function<bool()>;

// Why the exchange stopped, as a text for the user.
struct SmtpFailure {
    std::string text;
};
using SmtpResult = std::optional<SmtpFailure>;

struct SmtpMessage {
    std::string senderName;
    std::string senderAddress;
    std::vector<std::string> to;
    std::vector<std::string> cc;
    std::vector<std::string> bcc;
    std::string subject;
    std::string mailer;            // "X-Mailer"; not written when empty
    std::vector<std::string> body; // lines without their line ends
};

class SmtpClient {
public:
    explicit SmtpClient(SmtpTimeouts timeouts = {}, CancelCheck cancelled = {});
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Opens the connection, reads the greeting and says HELO. On failure the
    // connection is closed again.
    SmtpResult Connect(const std::string& host, int port, std::string_view heloName);
    // RSET, the envelope, DATA and the message. A message without recipients
    // is refused before anything is sent.
    SmtpResult Send(const SmtpMessage& message);
    // Says QUIT when connected and closes the connection.
    void Disconnect();
    bool Connected() const { return fd_ >= 0; }

private:
    SmtpResult OpenSocket(const std::string& host, int port);
    SmtpResult WriteAll(std::string_view bytes);
    SmtpResult ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline);
    // 1 ready, 0 timed out, -1 failed, -2 cancelled.
    int WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) const;
    // WaitFor on the open connection, with a failure for each way it can end
    // other than ready.
    SmtpResult AwaitConnection(short events, std::chrono::steady_clock::time_point deadline) const;
    // Reads one reply, all lines of a multi-line one; `code` is its number
    // and `text` its last line.
    SmtpResult ReadReply(int& code, std::string& text);
    // Sends `line` + CR LF and reads the reply; a code above `highestOk`
    // fails with the reply's text.
    SmtpResult Command(std::string_view line, int highestOk);
    void Close();

    SmtpTimeouts timeouts_;
    CancelCheck cancelled_;
    int fd_ = -1;
    std::string buffer_;
};

// The address of a recipient text: between "<" and ">" when it has a "<",
// else after ":" when it has one, else the whole text; blanks around it go.
std::string ExtractAddress(std::string_view recipient);

// `value` without CR and LF.
std::string WithoutLineBreaks(std::string_view value);

// The header lines of `message` in their order, without line ends.
std::vector<std::string> HeaderLines(const SmtpMessage& message);

// A body line as it goes on the wire inside DATA: a leading "." doubled.
std::string DotStuffed(std::string_view line);

} // namespace maroka::mail
