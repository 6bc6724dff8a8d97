#pragma once

// The notification mail: composes the body from the mail text file, the
// machine's mail command or the fixed line, and sends it through the SMTP
// server of the settings, showing its progress in the file-name box and the
// status line. Runs on the UI thread.

#include "core/mail/SmtpClient.h"
#include "core/settings/SessionSettings.h"
#include "core/ui/UserInterface.h"

#include <string>
#include <vector>

namespace maroka::mail {

struct MailJob {
    std::string bodyFilePath;    // MAILFILE.<port>; CP932 lines, may be missing
    std::string mailCommandText; // the text of the last mail command (UTF-8), may be empty
    // Set by the test button: a person is there to read the outcome, so
    // success and failure are confirmed in a message box.
    bool testFlag = false;
    std::string caption; // title of those boxes
    SmtpTimeouts timeouts;
    // Ends the mail at once when it turns true (Reset, closing, a signal).
    CancelCheck cancelled;
};

struct MailOutcome {
    bool sent = false;
    std::string failure; // why not, when not sent
};

MailOutcome SendNotificationMail(UserInterface& ui, const settings::SessionSettings& settings, const MailJob& job);

// The body lines in CP932: the file's lines when it exists and the command
// carried no text, else the command text, else the fixed line.
std::vector<std::string> ComposeMailBody(const std::string& bodyFilePath, const std::string& mailCommandText);

} // namespace maroka::mail
