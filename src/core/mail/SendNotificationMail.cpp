#include "core/mail/SendNotificationMail.h"

#include "core/mail/MailMessages.h"
#include "core/platform/FileBytes.h"
#include "core/text/Encoding.h"

#include <charconv>

namespace maroka::mail {

namespace {

std::optional<int> ParsePort(std::string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port <= 0 || port > 65535)
        return std::nullopt;
    return port;
}

std::string Wire(const std::string& utf8)
{
    return text::Utf8ToCp932Lossy(WithoutLineBreaks(utf8));
}

} // namespace

std::vector<std::string> ComposeMailBody(const std::string& bodyFilePath, const std::string& mailCommandText)
{
    if (mailCommandText.empty()) {
        if (auto lines = platform::ReadFileLines(bodyFilePath))
            return std::move(*lines);
    }
    return {Wire(mailCommandText.empty() ? std::string(msg::kDefaultBody) : mailCommandText)};
}

MailOutcome SendNotificationMail(UserInterface& ui, const settings::SessionSettings& settings, const MailJob& job)
{
    ui.ShowFileName(msg::kBoxSending);
    ui.ShowStatus(msg::kStatusJobStarted);

    MailOutcome outcome;
    auto fail = [&](std::string text) {
        outcome.failure = std::move(text);
        if (job.testFlag)
            ui.ShowMessage(job.caption, outcome.failure, MessageIcon::Error, MessageButtons::Ok);
        return outcome;
    };

    SmtpMessage message;
    message.body = ComposeMailBody(job.bodyFilePath, job.mailCommandText);

    const auto port = ParsePort(settings.smtpPort);
    if (!port)
        return fail(msg::kPortNotANumber + settings.smtpPort);
    if (settings.mailHost.empty())
        return fail(msg::kNoHost);

    ui.ShowStatus(msg::kStatusConnecting);
    SmtpClient client(job.timeouts, job.cancelled);
    if (auto failure = client.Connect(settings.mailHost, *port, Wire(settings.mailId)))
        return fail(failure->text);
    ui.ShowStatus(msg::kStatusConnected);

    message.senderAddress = Wire(settings.mailSenderAddress);
    message.senderName = Wire(settings.mailSenderName);
    message.subject = Wire(settings.mailSubject);
    if (!settings.mailRecipient.empty())
        message.to.push_back(Wire(settings.mailRecipient));

    ui.ShowStatus(msg::kStatusSending);
    if (auto failure = client.Send(message)) {
        // The connection is not left to a later mail to clean up.
        client.Disconnect();
        return fail(failure->text);
    }
    ui.ShowStatus(msg::kStatusSent);
    client.Disconnect();
    outcome.sent = true;

    if (job.testFlag)
        ui.ShowMessage(job.caption, msg::kSentMessage, MessageIcon::None, MessageButtons::Ok);
    ui.ShowFileName(msg::kBoxSent);
    ui.ShowStatus(msg::kStatusFinished);
    return outcome;
}

} // namespace maroka::mail
