#pragma once

// Captions, dialog titles, status texts and messages of the program-list
// editor. Each is followed by the version text where it is a title.

namespace maroka::editor::msg {

inline constexpr const char* kListTitle = " 送信ファイルリスト作成　";
inline constexpr const char* kG65Title = " G65[]メイン作成　";
inline constexpr const char* kNewListTitle = " 新規ファイルリスト作成　";
inline constexpr const char* kOpenListNewTitle = " ファイルリスト新規読み込み　";
inline constexpr const char* kOpenListAddTitle = " ファイルリスト追加読み込み　";
inline constexpr const char* kInsertCaption = " ファイル挿入　";
inline constexpr const char* kInsertDialogTitle = " 挿入ファイルの選択　";
inline constexpr const char* kSaveListTitle = " ファイルリスト保存　";
inline constexpr const char* kSaveG65Title = " G65メインファイル保存　";

inline constexpr const char* kChooseFilesStatus = "ﾄﾞﾗｯｸﾞﾄﾞﾛｯﾌﾟまたは右ｸﾘｯｸﾒﾆｭｰでﾌｧｲﾙを選択できます。";

inline constexpr const char* kOfferSave = "編集中のファイルを保存しますか?";
inline constexpr const char* kNoFileList = "ファイルリストがありません。";
inline constexpr const char* kNothingToSave = "保存するファイルがありません。";
inline constexpr const char* kSaveAgain = "再度、ファイルを保存しますか?";
inline constexpr const char* kContentChanged = "内容が変更されています。\n\nファイルを保存しますか?";
inline constexpr const char* kNoSendData = "送信データがありません。";
inline constexpr const char* kSeveralFilesNoConversion = "複数ファイルの無変換送信はできません。";
inline constexpr const char* kNotFound = "対象文字列が見つかりません。";
inline constexpr const char* kReplacedSuffix = " の文字列を置換しました。";
inline constexpr const char* kWriteFailed = " に書き込めませんでした。";
inline constexpr const char* kReadFailed = " を読み込めませんでした。";

inline constexpr const char* kUserFilterPrefix = "|ユーザー設定(*";
inline constexpr const char* kUserFilterMiddle = ")|*";

} // namespace maroka::editor::msg
