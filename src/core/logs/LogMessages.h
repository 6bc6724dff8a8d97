#pragma once

// Every text of the work files and logs: messages shown to the user, the
// fixed subject of the command wait, and the words other parts write into
// the two logs. Kept in one place so callers and tests compare against the
// same bytes.

#include <string>
#include <string_view>

namespace maroka::logs::msg {

// Shown at start-up when the work folder could not be made.
inline std::string WorkFolderNotCreatedMessage(std::string_view path)
{
    std::string text = "作業フォルダ\n[";
    text.append(path);
    text.append("]\nを作成できませんでした。");
    return text;
}

// Open and clear commands of the main window.
inline constexpr const char* kNoCommLogMessage = "現在、通信ログはありません。";
inline constexpr const char* kConfirmDeleteCommLogMessage = "通信ログを削除してよろしいですか？";
inline constexpr const char* kNoErrorLogMessage = "現在、エラーはありません。";

// Subject of communication-log lines while the server waits for a command.
inline constexpr const char* kCommandSubject = "COMMAND";

// Communication-log words. Starts carry no line break and go to the top; the
// others end in "\r\n", which places them below the start line of their
// transfer and leaves an empty line after them.
inline constexpr const char* kLogSendStart = "送信開始";
inline constexpr const char* kLogSendEnd = "送信終了\t"; // followed by the duration and "\r\n"
inline constexpr const char* kLogSendStopped = "送信中断\r\n";
inline constexpr const char* kLogSendFailed = "送信失敗\r\n";
inline constexpr const char* kLogForcedEnd = "強制終了\r\n";
inline constexpr const char* kLogReceiveStart = "受信開始";
inline constexpr const char* kLogReceiveEnd = "受信終了\r\n";
inline constexpr const char* kLogReceiveContinued = "受信継続\r\n";
inline constexpr const char* kLogReceiveFailed = "受信失敗\r\n";
inline constexpr const char* kLogRepaired = "受信修復\r\n";
inline constexpr const char* kLogRepairFailed = "修復失敗\r\n";

inline std::string SendEndLogMessage(std::string_view duration)
{
    std::string text(kLogSendEnd);
    text.append(duration);
    text.append("\r\n");
    return text;
}

// Error-log words of the server mode.
inline constexpr const char* kErrWriteIo = "WRITE_IO-ERROR";
inline constexpr const char* kErrNoBytesWrite = "NO_BYTES_WRITE";
inline constexpr const char* kErrWriteUnsynchro = "WRITE_UNSYNCHRO-ERROR";
inline constexpr const char* kErrWriteSynchro = "WRITE_SYNCHRO-ERROR";
inline constexpr const char* kErrReadIo = "READ_IO-ERROR";
inline constexpr const char* kErrReadUnsynchro = "READ_UNSYNCHRO-ERROR";
inline constexpr const char* kErrReadSynchro = "READ_SYNCHRO-ERROR";
inline constexpr const char* kErrCantOpenCommandFile = "CAN'T_OPEN_COMMAND_FILE";
inline constexpr const char* kErrCantCloseCommandFile = "CAN'T_CLOSE_COMMAND_FILE";
inline constexpr const char* kErrNoCallFile = "NO_CALL_FILE";
inline constexpr const char* kErrCallFileNotFound = "CALL_FILE_NOT_FOUND";
inline constexpr const char* kErrDeleteFileNotFound = "DELETE_FILE_NOT_FOUND";
inline constexpr const char* kErrFileDeleteFailed = "FILE_DELETE_FAILED";
inline constexpr const char* kErrRenameFileNotFound = "RENAME_FILE_NOT_FOUND";
inline constexpr const char* kErrFileRenameFailed = "FILE_RENAME_FAILED";

} // namespace maroka::logs::msg
