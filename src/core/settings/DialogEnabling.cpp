#include "core/settings/DialogEnabling.h"

namespace maroka::settings {

DialogEnabling ComputeDialogEnabling(const DialogChecks& checks)
{
    DialogEnabling e;
    const bool convert = !checks.noConversionSend;
    e.sendConversion = convert;
    e.sendDelayMs = checks.sendDelay;
    e.blockSkipCharacter = convert && checks.blockSkip;
    e.commentStartCharacter = convert && checks.commentStart;
    e.ignoreStringBoxes = convert && checks.ignoreStrings;
    e.conversionTable = convert && checks.convertOutput;
    e.ignoreCodeEntry = convert;
    e.ignoreCodeList = convert && checks.ignoreCodes;
    e.exitAfterSendSeconds = checks.exitAfterSend;
    e.receiveConversion = !checks.noConversionReceive;
    e.exitAfterReceiveSeconds = checks.exitAfterReceive;
    e.logMaxSize = checks.keepCommLog;
    e.editorEnabledBox = checks.editorPathSet;
    e.viewerEnabledBox = checks.viewerPathSet;
    e.otherAppEnabledBox = checks.otherAppPathSet;
    return e;
}

} // namespace maroka::settings
