// The notification mail against a real SMTP server on loopback: the exchange,
// the headers and the Shift-JIS body as the server stored them, the body
// sources, and the failures a mail host can give.

#include "core/mail/MailMessages.h"
#include "core/mail/SendNotificationMail.h"
#include "core/mail/SmtpClient.h"
#include "core/mail/SmtpReplyReader.h"
#include "core/text/Encoding.h"

#include "core/mail/SmtpTestServer.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::BabblingServer;
using maroka::test::LoopbackSocket;
using maroka::test::RecordingUserInterface;
using maroka::test::SmtpEvent;
using maroka::test::SmtpTestServer;
using maroka::test::TempDir;

namespace {

std::string Sjis(const std::string& utf8)
{
    return text::Utf8ToCp932Lossy(utf8);
}

std::string Commands(const std::vector<SmtpEvent>& events)
{
    std::string joined;
    for (const SmtpEvent& event : events)
        joined += (joined.empty() ? "" : " ") + event.command;
    return joined;
}

struct Mail : ::testing::Test {
    Mail()
    {
        settings.mailHost = "127.0.0.1";
        settings.mailId = "maroka-pc";
        settings.mailSenderName = "工場 PC";
        settings.mailSenderAddress = "pc@example.com";
        settings.mailRecipient = "Ops Team <ops@example.com>";
        settings.mailSubject = "加工終了";
        job.bodyFilePath = (dir / "MAILFILE.ttyS0").string();
        job.caption = "Maroka";
        job.timeouts = {2000ms, 2000ms};
    }

    mail::MailOutcome Send(int port)
    {
        settings.smtpPort = std::to_string(port);
        return mail::SendNotificationMail(ui, settings, job);
    }

    // Why a send to `port` failed; it must give up within `limit`.
    std::string FailureWithin(int port, std::chrono::seconds limit)
    {
        const auto started = std::chrono::steady_clock::now();
        const mail::MailOutcome outcome = Send(port);
        EXPECT_LT(std::chrono::steady_clock::now() - started, limit);
        EXPECT_FALSE(outcome.sent);
        return outcome.failure;
    }

    TempDir dir;
    settings::SessionSettings settings;
    mail::MailJob job;
    RecordingUserInterface ui;
};

#define REQUIRE_SMTP_SERVER(server)                                                                                    \
    if (SmtpTestServer::Python().empty())                                                                              \
        GTEST_SKIP() << "python3-aiosmtpd is not installed";                                                           \
    ASSERT_TRUE((server).Running())

} // namespace

TEST_F(Mail, SendsTheWholeExchangeWithShiftJisHeadersAndADotStuffedBody)
{
    SmtpTestServer server;
    REQUIRE_SMTP_SERVER(server);
    test::WriteFileBytes(job.bodyFilePath, Sjis("一行目\r\n.hidden line\r\n..two dots\r\n.\r\nlast") + "\r\n");
    const auto outcome = Send(server.Port());
    ASSERT_TRUE(outcome.sent) << outcome.failure;

    const auto events = server.Events();
    EXPECT_EQ(Commands(events), "HELO RSET MAIL RCPT DATA QUIT");
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].argument, "maroka-pc");
    EXPECT_EQ(events[2].argument, "pc@example.com");
    // Only the address of the recipient goes into RCPT TO; the whole text
    // into the To: header.
    EXPECT_EQ(events[3].argument, "ops@example.com");
    EXPECT_EQ(events[4].argument, Sjis("From: 工場 PC<pc@example.com>\r\n"
                                       "To: Ops Team <ops@example.com>\r\n"
                                       "Subject: 加工終了\r\n"
                                       "Mime-Version: 1.0\r\n"
                                       "Content-Type: text/plain; charset=shift-JIS\r\n"
                                       "\r\n"
                                       "一行目\r\n.hidden line\r\n..two dots\r\n.\r\nlast\r\n"));

    for (const char* status : {mail::msg::kStatusJobStarted, mail::msg::kStatusConnecting, mail::msg::kStatusConnected,
                               mail::msg::kStatusSending, mail::msg::kStatusSent})
        EXPECT_TRUE(ui.Saw(std::string("status:") + status)) << status;
    EXPECT_EQ(ui.LastFileName(), mail::msg::kBoxSent);
    EXPECT_EQ(ui.LastStatus(), mail::msg::kStatusFinished);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(Mail, TheCommandTextReplacesTheFileAndCannotInjectLines)
{
    SmtpTestServer server;
    REQUIRE_SMTP_SERVER(server);
    test::WriteFileBytes(job.bodyFilePath, "FROM THE FILE\r\n");
    job.mailCommandText = "DONE\r\n.\r\nQUIT";
    settings.mailSubject = "End\r\nBcc: evil@example.com";
    settings.mailRecipient = "ops@example.com\r\nRCPT TO:<evil@example.com>";
    job.testFlag = true;
    ASSERT_TRUE(Send(server.Port()).sent);

    const auto events = server.Events();
    // One recipient text gives one RCPT, whatever it holds.
    EXPECT_EQ(Commands(events), "HELO RSET MAIL RCPT DATA QUIT");
    const std::string& message = events[4].argument;
    EXPECT_NE(message.find("Subject: EndBcc: evil@example.com\r\n"), std::string::npos) << message;
    EXPECT_EQ(message.find("\r\nBcc:"), std::string::npos);
    EXPECT_TRUE(message.ends_with("\r\n\r\nDONE.QUIT\r\n")) << message;
    // The test button confirms the sending.
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{mail::msg::kSentMessage});
}

TEST_F(Mail, TheBodyComesFromTheFileTheCommandOrTheFixedLine)
{
    EXPECT_EQ(mail::ComposeMailBody(job.bodyFilePath, ""), std::vector<std::string>{Sjis(mail::msg::kDefaultBody)});
    EXPECT_EQ(mail::ComposeMailBody(job.bodyFilePath, "ワーク交換"), std::vector<std::string>{Sjis("ワーク交換")});
    test::WriteFileBytes(job.bodyFilePath, "LINE 1\r\n\r\nLINE 3\nLINE 4");
    EXPECT_EQ(mail::ComposeMailBody(job.bodyFilePath, ""),
              (std::vector<std::string>{"LINE 1", "", "LINE 3", "LINE 4"}));
    EXPECT_EQ(mail::ComposeMailBody(job.bodyFilePath, "TEXT"), std::vector<std::string>{"TEXT"});

    // Headers: an empty value leaves its header out.
    mail::SmtpMessage message;
    message.senderAddress = "a@b";
    message.to = {"x@y", "Name <z@w>"};
    EXPECT_EQ(mail::HeaderLines(message),
              (std::vector<std::string>{"From: <a@b>", "To: x@y,Name <z@w>", "Mime-Version: 1.0",
                                        "Content-Type: text/plain; charset=shift-JIS"}));
    EXPECT_EQ(mail::ExtractAddress("To: someone@example.com"), "someone@example.com");
    EXPECT_EQ(mail::ExtractAddress(" plain@example.com "), "plain@example.com");
}

TEST_F(Mail, ARefusedHeloIsAnAuthenticationFailure)
{
    SmtpTestServer server(true);
    REQUIRE_SMTP_SERVER(server);
    job.testFlag = true;
    const auto outcome = Send(server.Port());
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.failure, mail::msg::kAuthenticationFailed);
    EXPECT_EQ(Commands(server.Events(500ms)), "HELO");
    // The status keeps the last progress text; the box tells why.
    EXPECT_EQ(ui.LastStatus(), mail::msg::kStatusConnecting);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{mail::msg::kAuthenticationFailed});
}

TEST_F(Mail, AMailWithoutRecipientIsRefusedBeforeTheEnvelope)
{
    SmtpTestServer server;
    REQUIRE_SMTP_SERVER(server);
    settings.mailRecipient.clear();
    const auto outcome = Send(server.Port());
    EXPECT_EQ(outcome.failure, mail::msg::kIncompleteHeader);
    EXPECT_EQ(Commands(server.Events()), "HELO QUIT");
    // Without the test button nobody is there to close a box.
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(Mail, ADeadServerFailsWithinItsTimeOutsAndACancelEndsTheWaitAtOnce)
{
    const LoopbackSocket closed(false);
    const std::string refused = FailureWithin(closed.port, 2s);
    EXPECT_NE(refused.find("Connection refused"), std::string::npos) << refused;

    // Accepted by the kernel, never answered: the greeting times out.
    const LoopbackSocket silent(true);
    job.timeouts = {1000ms, 500ms};
    EXPECT_EQ(FailureWithin(silent.port, 3s), mail::msg::kReadTimedOut);

    // A reply that never ends fails within one time-out, not one per line.
    BabblingServer babbler(8s);
    job.timeouts = {1000ms, 1000ms};
    EXPECT_EQ(FailureWithin(babbler.Port(), 3s), mail::msg::kReadTimedOut);

    job.timeouts = {20s, 20s};
    const auto started = std::chrono::steady_clock::now();
    job.cancelled = [&] { return std::chrono::steady_clock::now() - started > 300ms; };
    EXPECT_EQ(FailureWithin(silent.port, 2s), mail::msg::kCancelled);
    job.cancelled = {};

    settings.smtpPort = "twenty-five";
    EXPECT_EQ(mail::SendNotificationMail(ui, settings, job).failure,
              std::string(mail::msg::kPortNotANumber) + "twenty-five");
    EXPECT_EQ(ui.LastStatus(), mail::msg::kStatusJobStarted);
}

TEST(SmtpReplyReader, JoinsContinuationLinesAndRefusesWhatIsNoReply)
{
    mail::SmtpReplyReader reader;
    EXPECT_EQ(reader.Line("250-first"), mail::SmtpReplyReader::State::More);
    EXPECT_EQ(reader.Line("250-second"), mail::SmtpReplyReader::State::More);
    EXPECT_EQ(reader.Line("250 last"), mail::SmtpReplyReader::State::Done);
    EXPECT_EQ(reader.Code(), 250);
    for (const char* line : {"25", "2x0 no", "250x", ""})
        EXPECT_EQ(mail::SmtpReplyReader().Line(line), mail::SmtpReplyReader::State::Invalid) << line;
    mail::SmtpReplyReader changing;
    EXPECT_EQ(changing.Line("250-a"), mail::SmtpReplyReader::State::More);
    EXPECT_EQ(changing.Line("550 b"), mail::SmtpReplyReader::State::Invalid);
    EXPECT_EQ(mail::SmtpReplyReader().Line("354"), mail::SmtpReplyReader::State::Done);
}
