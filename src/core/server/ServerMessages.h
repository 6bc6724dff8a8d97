#pragma once

// Every text of the server mode: what the file-name box and the status line
// show, the subjects of its communication-log lines, the reply programs and
// the error-log words of its own (the shared ones are in LogMessages.h).

namespace maroka::server::msg {

// The command wait and the analysis.
inline constexpr const char* kBoxCommand = "コマンド";
inline constexpr const char* kBoxAnalysing = "コマンド解析";
inline constexpr const char* kStatusAnalysing = " コマンド解析中";
inline constexpr const char* kBoxAnalysed = "コマンド解析終了";
inline constexpr const char* kStatusAnalysed = " コマンド解析終了";
inline constexpr const char* kLogAnalysed = "受信終了\r\n";

// The kind of the command being decided.
inline constexpr const char* kBoxCallCommand = "CALL COMMAND";
inline constexpr const char* kBoxSaveCommand = "SAVE COMMAND";
inline constexpr const char* kBoxListCommand = "LIST COMMAND";
inline constexpr const char* kBoxErrorLogCommand = "ERROR LOG COMMAND";
inline constexpr const char* kBoxDeleteCommand = "DELETE COMMAND";
inline constexpr const char* kBoxRenameCommand = "RENAME COMMAND";
inline constexpr const char* kBoxMailCommand = "MAIL COMMAND";

// Communication-log subjects.
inline constexpr const char* kSubjectNoCommand = "NO COMMAND";
inline constexpr const char* kSubjectNoCalledFileName = "NO CALLED FILE NAME";
inline constexpr const char* kSubjectNoCalledFile = "NO CALLED FILE";
inline constexpr const char* kSubjectCallPrefix = "CALL[";
inline constexpr const char* kSubjectSavePrefix = "SAVE[";
inline constexpr const char* kSubjectDeletePrefix = "DELETE[";
inline constexpr const char* kSubjectRenamePrefix = "RENAME[";
inline constexpr const char* kSubjectRenameInfix = "]TO[";
inline constexpr const char* kSubjectNameSuffix = "]";
inline constexpr const char* kSubjectCallList = "CALL_LIST";
inline constexpr const char* kSubjectCallErrorLog = "CALL_ERR_LOG";
inline constexpr const char* kSubjectMailCommand = "MAIL-COMMAND";

// The name a save without a name gets.
inline constexpr const char* kUntitled = "UNTITLED";
// The M198 call form's fixed opening and closing words.
inline constexpr const char* kFixedHandyOn = "&H";
inline constexpr const char* kFixedHandyOff = ":";

// Reply programs.
inline constexpr const char* kReplyPercent = "%";
inline constexpr const char* kReplyEnd = "M30";
inline constexpr const char* kReplyNoNameSuffix = " NO CALLED FILE NAME)";
inline constexpr const char* kReplyNotFoundSuffix = " IS NOT FOUND)";
inline constexpr const char* kReplyFileList = "([SEARCH_FILE_LIST])";
inline constexpr const char* kReplyFileListEnd = "([SEARCH_FILE_LIST_END])";
inline constexpr const char* kReplyErrorLog = "([ERROR_LOG_REPORT])";
inline constexpr const char* kReplyNoError = "(NO_ERROR)";
inline constexpr const char* kDisplayNoFileName = "NO_FILE_NAME_ERROR";
inline constexpr const char* kSubjectNoFileName = "NO_FILE_NAME_MASSAGE";
inline constexpr const char* kDisplayFileList = "FILE_LIST";
inline constexpr const char* kSubjectFileList = "FILE_LIST";
inline constexpr const char* kDisplayFileNotFound = "FILE_NOT_FOUND_ERROR";
inline constexpr const char* kSubjectFileNotFound = "FILE_NOT_FOUND_MASSAGE";
inline constexpr const char* kDisplayErrorLog = "ERROR_LOG_LIST";
inline constexpr const char* kSubjectErrorLog = "ERROR_LOG";

// Delete and rename.
inline constexpr const char* kBoxDeleted = "ファイルを削除しました。";
inline constexpr const char* kStatusDeleted = "ファイル削除終了";
inline constexpr const char* kBoxDeleteNotFound = "削除ファイルが見つかりませんでした。";
inline constexpr const char* kBoxDeleteFailed = "ファイルを削除できませんでした。";
inline constexpr const char* kStatusDeleteFailed = "ファイル削除失敗";
inline constexpr const char* kBoxRenamed = "ファイル名を変更しました。";
inline constexpr const char* kStatusRenamed = "ファイル名変更終了";
inline constexpr const char* kBoxRenameNotFound = "変更対象ファイルが見つかりませんでした。";
inline constexpr const char* kBoxRenameFailed = "ファイル名を変更できませんでした。";
inline constexpr const char* kStatusRenameFailed = "ファイル名変更失敗";

// A name that would reach outside the search and save folder.
inline constexpr const char* kBoxUnusableName = "使用できないファイル名です。";
inline constexpr const char* kStatusRefused = "コマンドを実行しませんでした。";

// Error-log words of the server's own that the shared list does not have.
inline constexpr const char* kErrUnsafeFileName = "UNSAFE_FILE_NAME";
inline constexpr const char* kErrMailFailed = "MAIL_SEND_FAILED";
inline constexpr const char* kErrReplyWriteFailed = "CAN'T_WRITE_REPLY_PROGRAM";
inline constexpr const char* kErrAmbiguousName = "AMBIGUOUS_FILE_NAME";
inline constexpr const char* kErrNameNotListable = "FILE_NAME_WITH_NC_CODE";
inline constexpr const char* kErrCantCreateSaveFile = "CAN'T_CREATE_SAVE_FILE";
inline constexpr const char* kErrCantWriteSaveFile = "CAN'T_WRITE_SAVE_FILE";
inline constexpr const char* kErrCantWriteCommandFile = "CAN'T_WRITE_COMMAND_FILE";

// Several files match a name without regard to case, none exactly.
inline constexpr const char* kBoxAmbiguousName = "ファイル名が一つに決まりません。";

} // namespace maroka::server::msg
