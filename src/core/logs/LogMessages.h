#pragma once

// Every text of the work files and logs: messages shown to the user, the
// fixed subject of the command wait, and the words other parts write into
// the two logs. Kept in one place so callers and tests compare against the
// same bytes.

#include <string>
#include <string_view>

namespace maroka::logs {

// Shown at start-up when the work folder could not be made.
inline std::string WorkFolderNotCreatedMessage(std::string_view path)
{
    std::string text = "作業フォルダ\n[";
    text.append(path);
    text.append("]\nを作成できませんでした。");
    return text;
}

// Open and clear commands of the main window.
inline constexpr std::string_view kNoCommLogMessage = "現在、通信ログはありません。";
inline constexpr std::string_view kConfirmDeleteCommLogMessage = "通信ログを削除してよろしいですか？";
inline constexpr std::string_view kNoErrorLogMessage = "現在、エラーはありません。";

// Subject of communication-log lines while the server waits for a command.
inline constexpr std::string_view kCommandSubject = "COMMAND";

// Communication-log words. Starts carry no line break and go to the top; the
// others end in "\r\n", which places them below the start line of their
// transfer and leaves an empty line after them.
inline constexpr std::string_view kLogSendStart = "送信開始";
inline constexpr std::string_view kLogSendEnd = "送信終了\t"; // followed by the duration and "\r\n"
inline constexpr std::string_view kLogSendStopped = "送信中断\r\n";
inline constexpr std::string_view kLogSendFailed = "送信失敗\r\n";
inline constexpr std::string_view kLogForcedEnd = "強制終了\r\n";
inline constexpr std::string_view kLogReceiveStart = "受信開始";
inline constexpr std::string_view kLogReceiveEnd = "受信終了\r\n";
inline constexpr std::string_view kLogReceiveContinued = "受信継続\r\n";
inline constexpr std::string_view kLogReceiveFailed = "受信失敗\r\n";
inline constexpr std::string_view kLogRepaired = "受信修復\r\n";
inline constexpr std::string_view kLogRepairFailed = "修復失敗\r\n";

inline std::string SendEndLogMessage(std::string_view duration)
{
    std::string text(kLogSendEnd);
    text.append(duration);
    text.append("\r\n");
    return text;
}

// Error-log words of the server mode.
inline constexpr std::string_view kErrWriteIo = "WRITE_IO-ERROR";
inline constexpr std::string_view kErrNoBytesWrite = "NO_BYTES_WRITE";
inline constexpr std::string_view kErrWriteUnsynchro = "WRITE_UNSYNCHRO-ERROR";
inline constexpr std::string_view kErrWriteSynchro = "WRITE_SYNCHRO-ERROR";
inline constexpr std::string_view kErrReadIo = "READ_IO-ERROR";
inline constexpr std::string_view kErrReadUnsynchro = "READ_UNSYNCHRO-ERROR";
inline constexpr std::string_view kErrReadSynchro = "READ_SYNCHRO-ERROR";
inline constexpr std::string_view kErrCantOpenCommandFile = "CAN'T_OPEN_COMMAND_FILE";
inline constexpr std::string_view kErrCantCloseCommandFile = "CAN'T_CLOSE_COMMAND_FILE";
inline constexpr std::string_view kErrNoCallFile = "NO_CALL_FILE";
inline constexpr std::string_view kErrCallFileNotFound = "CALL_FILE_NOT_FOUND";
inline constexpr std::string_view kErrDeleteFileNotFound = "DELETE_FILE_NOT_FOUND";
inline constexpr std::string_view kErrFileDeleteFailed = "FILE_DELETE_FAILED";
inline constexpr std::string_view kErrRenameFileNotFound = "RENAME_FILE_NOT_FOUND";
inline constexpr std::string_view kErrFileRenameFailed = "FILE_RENAME_FAILED";

} // namespace maroka::logs
