// The mail text file on random contents: its lines become the body, and no
// body line can end the message or start a line of its own on the wire.

#include "FuzzFile.h"

#include "core/mail/SendNotificationMail.h"
#include "core/mail/SmtpClient.h"

#include <cstdint>
#include <cstdlib>

using namespace maroka;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::WriteScratch("MAILFILE.ttyS0", {reinterpret_cast<const char*>(data), size});
    for (const std::string& line : mail::ComposeMailBody(path, {})) {
        const std::string wire = mail::DotStuffed(line);
        if (wire.find_first_of("\r\n") != std::string::npos || wire == ".")
            std::abort();
    }
    return 0;
}
