#include "core/mail/SmtpClient.h"

#include "core/mail/HostLookup.h"
#include "core/mail/MailMessages.h"
#include "core/mail/SmtpReplyReader.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace maroka::mail {

namespace {

using Clock = std::chrono::steady_clock;

// No reply line of a sane server comes near this; a peer that sends more
// without a line end is not an SMTP server.
constexpr std::size_t kMaxReplyLine = 4096;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// How often a wait looks at the cancel predicate.
constexpr int kCancelSliceMs = 100;

std::string Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string Join(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items) {
        if (!joined.empty())
            joined += ',';
        joined += WithoutLineBreaks(item);
    }
    return joined;
}

SmtpFailure Failure(std::string text)
{
    return SmtpFailure{std::move(text)};
}

} // namespace

std::string WithoutLineBreaks(std::string_view value)
{
    std::string clean;
    clean.reserve(value.size());
    for (const char c : value) {
        if (c != '\r' && c != '\n')
            clean += c;
    }
    return clean;
}

std::string ExtractAddress(std::string_view recipient)
{
    if (const std::size_t open = recipient.find('<'); open != std::string_view::npos) {
        std::string_view inside = recipient.substr(open + 1);
        inside = inside.substr(0, inside.find('>'));
        return Trim(inside);
    }
    if (const std::size_t colon = recipient.find(':'); colon != std::string_view::npos)
        return Trim(recipient.substr(colon + 1));
    return Trim(recipient);
}

std::vector<std::string> HeaderLines(const SmtpMessage& message)
{
    std::vector<std::string> lines;
    auto add = [&lines](std::string_view name, const std::string& value) {
        if (!value.empty())
            lines.push_back(std::string(name) + value);
    };
    add("From: ", WithoutLineBreaks(message.senderName) + "<" + WithoutLineBreaks(message.senderAddress) + ">");
    add("To: ", Join(message.to));
    add("CC: ", Join(message.cc));
    add("Subject: ", WithoutLineBreaks(message.subject));
    add("X-Mailer: ", WithoutLineBreaks(message.mailer));
    lines.emplace_back("Mime-Version: 1.0");
    lines.push_back(std::string("Content-Type: text/plain; charset=") + msg::kCharset);
    return lines;
}

std::string DotStuffed(std::string_view line)
{
    std::string wire = WithoutLineBreaks(line);
    if (!wire.empty() && wire.front() == '.')
        wire.insert(wire.begin(), '.');
    return wire;
}

SmtpClient::SmtpClient(SmtpTimeouts timeouts, CancelCheck cancelled)
    : timeouts_(timeouts), cancelled_(std::move(cancelled))
{
}

int SmtpClient::WaitFor(int fd, short events, Clock::time_point deadline) const
{
    for (;;) {
        if (cancelled_ && cancelled_())
            return -2;
        const int left = RemainingMs(deadline);
        pollfd entry{fd, events, 0};
        const int rc = ::poll(&entry, 1, std::min(left, kCancelSliceMs));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return -1;
        if (rc > 0)
            return 1;
        if (left <= kCancelSliceMs)
            return 0;
    }
}

SmtpResult SmtpClient::AwaitConnection(short events, Clock::time_point deadline) const
{
    const int ready = WaitFor(fd_, events, deadline);
    if (ready == 0)
        return Failure(msg::kReadTimedOut);
    if (ready == -2)
        return Failure(msg::kCancelled);
    if (ready < 0)
        return Failure(std::strerror(errno));
    return std::nullopt;
}

SmtpClient::~SmtpClient()
{
    Close();
}

void SmtpClient::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

SmtpResult SmtpClient::OpenSocket(const std::string& host, int port)
{
    const std::string service = std::to_string(port);
    HostLookup lookup(host, service);
    const Clock::time_point lookupDeadline = Clock::now() + timeouts_.lookup;
    while (!lookup.WaitDone(std::min(RemainingMs(lookupDeadline), kCancelSliceMs))) {
        if (cancelled_ && cancelled_())
            return Failure(msg::kCancelled);
        if (RemainingMs(lookupDeadline) == 0)
            return Failure(host + ": " + msg::kLookupTimedOut);
    }
    addrinfo* found = lookup.Take();
    if (found == nullptr)
        return Failure(host + ": " + lookup.ErrorText());

    const Clock::time_point deadline = Clock::now() + timeouts_.connect;
    std::string lastError = msg::kConnectTimedOut;
    for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const int fd =
            ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, entry->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        int error = 0;
        if (::connect(fd, entry->ai_addr, entry->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                const int ready = WaitFor(fd, POLLOUT, deadline);
                if (ready == 0 || ready == -2) {
                    ::close(fd);
                    lastError = ready == 0 ? msg::kConnectTimedOut : msg::kCancelled;
                    break;
                }
                socklen_t size = sizeof error;
                if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                    error = errno;
            }
        }
        if (error == 0) {
            fd_ = fd;
            ::freeaddrinfo(found);
            return std::nullopt;
        }
        ::close(fd);
        lastError = std::strerror(error);
    }
    ::freeaddrinfo(found);
    return Failure(host + ":" + service + ": " + lastError);
}

SmtpResult SmtpClient::WriteAll(std::string_view bytes)
{
    const Clock::time_point deadline = Clock::now() + timeouts_.reply;
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (SmtpResult failure = AwaitConnection(POLLOUT, deadline))
                return failure;
            continue;
        }
        return Failure(std::strerror(errno));
    }
    return std::nullopt;
}

SmtpResult SmtpClient::ReadLine(std::string& line, Clock::time_point deadline)
{
    for (;;) {
        if (const std::size_t lf = buffer_.find('\n'); lf != std::string::npos) {
            line = buffer_.substr(0, lf);
            buffer_.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return std::nullopt;
        }
        if (buffer_.size() > kMaxReplyLine)
            return Failure(msg::kInvalidReply);
        if (SmtpResult failure = AwaitConnection(POLLIN, deadline))
            return failure;
        char chunk[512];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n == 0)
            return Failure(msg::kConnectionClosed);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return Failure(std::strerror(errno));
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

SmtpResult SmtpClient::ReadReply(int& code, std::string& text)
{
    // One deadline for the whole reply: a server that keeps sending
    // continuation lines must not keep the mail going for ever.
    const Clock::time_point deadline = Clock::now() + timeouts_.reply;
    SmtpReplyReader reader;
    for (;;) {
        std::string line;
        if (auto failure = ReadLine(line, deadline))
            return failure;
        switch (reader.Line(line)) {
        case SmtpReplyReader::State::Invalid:
            return Failure(msg::kInvalidReply);
        case SmtpReplyReader::State::More:
            continue;
        case SmtpReplyReader::State::Done:
            code = reader.Code();
            text = line;
            return std::nullopt;
        }
    }
}

SmtpResult SmtpClient::Command(std::string_view line, int highestOk)
{
    if (fd_ < 0)
        return Failure(msg::kConnectionClosed);
    std::string wire = WithoutLineBreaks(line);
    wire += "\r\n";
    if (auto failure = WriteAll(wire))
        return failure;
    int code = 0;
    std::string text;
    if (auto failure = ReadReply(code, text))
        return failure;
    if (code > highestOk)
        return Failure(text);
    return std::nullopt;
}

SmtpResult SmtpClient::Connect(const std::string& host, int port, std::string_view heloName)
{
    Close();
    if (auto failure = OpenSocket(host, port))
        return failure;
    int code = 0;
    std::string text;
    SmtpResult result = ReadReply(code, text);
    if (!result && code > 399)
        result = Failure(text);
    if (!result && Command("HELO " + std::string(heloName), 299))
        result = Failure(msg::kAuthenticationFailed);
    if (result)
        Close();
    return result;
}

SmtpResult SmtpClient::Send(const SmtpMessage& message)
{
    if (message.to.empty() && message.cc.empty() && message.bcc.empty())
        return Failure(msg::kIncompleteHeader);
    if (auto failure = Command("RSET", 399))
        return failure;
    if (auto failure = Command("MAIL FROM:<" + message.senderAddress + ">", 399))
        return failure;
    for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
        for (const std::string& recipient : *list) {
            if (auto failure = Command("RCPT TO:<" + ExtractAddress(WithoutLineBreaks(recipient)) + ">", 399))
                return failure;
        }
    }
    if (auto failure = Command("DATA", 399))
        return failure;

    std::string data;
    for (const std::string& header : HeaderLines(message))
        data += header + "\r\n";
    data += "\r\n";
    for (const std::string& line : message.body)
        data += DotStuffed(line) + "\r\n";
    data += ".\r\n";
    if (auto failure = WriteAll(data))
        return failure;
    int code = 0;
    std::string text;
    if (auto failure = ReadReply(code, text))
        return failure;
    if (code > 399)
        return Failure(text);
    return std::nullopt;
}

void SmtpClient::Disconnect()
{
    if (fd_ < 0)
        return;
    // The answer to QUIT changes nothing; a server that does not give it
    // within the time-out is simply left.
    if (!WriteAll("QUIT\r\n")) {
        int code = 0;
        std::string text;
        ReadReply(code, text);
    }
    Close();
}

} // namespace maroka::mail
