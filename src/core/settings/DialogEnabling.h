#pragma once

// Which controls of the settings dialog can be used, from the state of the
// check boxes (and path boxes) they depend on. The dialog recomputes this
// after every change.

namespace maroka::settings {

// The states the enabling depends on, as the dialog's controls show them
// (not as the settings hold them: nothing is applied before the dialog closes).
struct DialogChecks {
    bool noConversionSend = false;
    bool sendDelay = false;
    bool blockSkip = false;
    bool commentStart = false;
    bool ignoreStrings = false;
    bool convertOutput = false;
    bool ignoreCodes = false;
    bool exitAfterSend = false;
    bool noConversionReceive = false;
    bool exitAfterReceive = false;
    bool keepCommLog = false;
    bool editorPathSet = false;
    bool viewerPathSet = false;
    bool otherAppPathSet = false;
};

struct DialogEnabling {
    // The five "%" boxes, the block-skip, comment and ignore-string check
    // boxes, the two-byte check, 文字列変換有効, 無視有効 and the send
    // end-of-block choice.
    bool sendConversion = true;
    bool sendDelayMs = true;
    bool blockSkipCharacter = true;
    bool commentStartCharacter = true;
    bool ignoreStringBoxes = true; // the strings and their separator
    bool conversionTable = true;   // with its All Clear button
    bool ignoreCodeEntry = true;
    bool ignoreCodeList = true; // with add, delete and All Clear
    bool exitAfterSendSeconds = true;
    // ラベル：→Ｏ変換, the two receive "%" boxes and the receive end-of-block choice.
    bool receiveConversion = true;
    bool exitAfterReceiveSeconds = true;
    bool logMaxSize = true;
    // The "有効" boxes of the external programs: nothing to enable without a path.
    bool editorEnabledBox = true;
    bool viewerEnabledBox = true;
    bool otherAppEnabledBox = true;

    bool operator==(const DialogEnabling&) const = default;
};

// Sending without conversion disables every conversion control at once; the
// delay and wait controls are about the line, not the data, and keep
// following their own check boxes.
DialogEnabling ComputeDialogEnabling(const DialogChecks& checks);

} // namespace maroka::settings
