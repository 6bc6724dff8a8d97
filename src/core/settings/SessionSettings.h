#pragma once

// Every value of the settings file, in memory. Member initialisers are the
// defaults a missing key reads as. The key texts live in one table
// (SettingKeys) that loading, saving and the settings commands walk.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace maroka::settings {

inline constexpr const char* kDefaultFilter = "すべてのファイル(*.*)|*;*.*";

struct SessionSettings {
    // Window, files and folders.
    std::string startupPort = "COM1";
    int left = -100;
    int top = -100;
    int width = 377;
    int height = 300;
    bool openDialogPreview = true;
    bool saveDialogPreview = true;
    std::string sendFileOpenFolder;
    std::string sendFileSaveFolder;
    std::string sendFileFilter = kDefaultFilter;
    std::string receiveFileSaveFolder;
    std::string receiveFileFilter = kDefaultFilter;
    std::string listOpenFolder;
    std::string listSaveFolder;
    std::string listFilter = kDefaultFilter;

    // Line settings (also the texts of the main window's boxes).
    std::string stopBits = "2";
    std::string baudRate = "9600";
    std::string sendBufferSize = "1";
    std::string code = "ISO";
    std::string dc3Code = "13H";
    std::string sendMode = "MEM";

    // Send settings.
    bool sendDc2AtStart = false;
    bool sendDc4AtEnd = false;
    bool sendHeadPercent = true;
    bool sendTailPercent = true;
    bool percentAtEachLabel = false;
    bool endOfBlockAfterTailPercent = true;
    bool sendPercentComment = false;
    bool ignoreStringsEnabled = false;
    std::string ignoreStrings;
    std::string ignoreStringSeparator = ";";
    bool blockSkipEnabled = true;
    std::string blockSkipCharacter = "/";
    bool commentStartEnabled = true;
    std::string commentStartCharacter = "'";
    bool exitAfterSend = false;
    std::string exitAfterSendSeconds = "0";
    bool sendDelayEnabled = true;
    std::string sendDelayMs = "100";
    bool sendWaitEnabled = false;
    std::string sendWaitMs = "5";
    std::string sendEndOfBlock = "LF";
    bool resendMode = false;
    bool twoByteCheck = true;
    bool resetClearsSendFile = false;
    bool completedSendClearsFile = false;
    bool showRemainingTime = true;
    bool showData = true;
    bool showComments = true;
    bool showProgress = true;
    bool sendAtStartup = false;
    bool sendOnDrop = false;
    bool ignoreCycleStart = false;
    bool noConversionSend = false;
    bool convertOutputCharacters = false;
    bool subprogramIgnoreCodesEnabled = false;

    // Receive settings.
    bool receiveStartDcEnabled = false;
    bool receiveStartDc1 = false;
    bool receiveEndDcEnabled = false;
    bool receiveEndDc3 = false;
    bool exitAfterReceive = false;
    std::string exitAfterReceiveSeconds = "0";
    bool openFileAfterReceive = false;
    std::string receiveEndOfBlock = "CR+LF";
    std::string receiveEndSeconds = "2";
    bool colonToO = true;
    bool noConversionReceive = false;
    bool deleteControlCodes = true;
    bool receiveHeadPercent = true;
    bool receiveTailPercent = true;
    bool continuousReceive = false;
    bool resetClearsReceiveFile = false;
    bool repairReceiveErrors = true;
    bool convertGarbledCharacters = true;

    // External applications.
    bool editorEnabled = false;
    std::string editor;
    std::string editorBrowseFolder;
    bool viewerEnabled = false;
    std::string viewer;
    std::string viewerBrowseFolder;
    bool otherAppEnabled = false;
    std::string otherApp;
    std::string otherAppBrowseFolder;

    // Server mode and logs.
    std::string serverFolder;
    bool keepCommLog = true;
    std::string logMaxSizeKb = "50";
    std::string fileCallCommand = "R/";
    std::string fileSaveCommand = "S/";
    std::string fileListCommand = "L/";
    std::string handyOnCommand = "&H";
    std::string handyOffCommand = ":";
    std::string logRequestCommand = "P/";
    std::string fileDeleteCommand = "D/";
    std::string fileRenameCommand = "RN/";
    std::string fileRenameSeparator = "/";
    std::string mailCommand = "M/";

    // Mail.
    std::string mailHost;
    std::string mailId;
    std::string mailSenderName;
    std::string mailSenderAddress;
    std::string smtpPort = "25";
    std::string mailRecipient;
    std::string mailSubject;

    // Per-port colours, read and written under the current port's keys.
    std::string windowColour = "clWindow";
    std::string textColour = "clWindowText";
};

inline constexpr int kConversionPairCount = 20;
inline constexpr int kIgnoreCodeCount = 20;
inline constexpr int kHistoryCount = 8;

struct ConversionPair {
    std::string oldText;
    std::string newText;
};

// The numbered list settings.
struct ListSettings {
    std::array<ConversionPair, kConversionPairCount> conversionPairs;
    std::vector<std::string> subprogramIgnoreCodes;
    std::vector<std::string> folderHistory;
    std::vector<std::string> otherAppHistory;
    std::vector<std::string> viewerHistory;
    std::vector<std::string> editorHistory;
};

using TextMember = std::string SessionSettings::*;
using IntegerMember = int SessionSettings::*;
using FlagMember = bool SessionSettings::*;

struct SettingKey {
    std::string_view key; // UTF-8 text of the key
    std::variant<TextMember, IntegerMember, FlagMember> member;
    std::size_t maxBytes = 0; // CP932 capacity of a text, 0 = 2047
};

// The keys of the main section in the order they are read.
std::span<const SettingKey> SettingKeys();

// The key of `member`, or nullptr; for callers that name one setting.
const SettingKey* FindSettingKey(std::string_view key);

// The row of a member; every member of the main section has one.
const SettingKey& KeyOf(TextMember member);
const SettingKey& KeyOf(IntegerMember member);
const SettingKey& KeyOf(FlagMember member);

} // namespace maroka::settings
