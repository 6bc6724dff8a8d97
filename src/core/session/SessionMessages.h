#pragma once

// Texts of the main window's commands.

namespace maroka::session::msg {

inline constexpr const char* kHelp =
    "　　　　ごめんなさい。ヘルプはありません。　m(_ _)m\n\n　わからないことがあれば、掲示板に書き込んで下さい。";
inline constexpr const char* kConfirmExit = "Maroka を終了します。\n\nよろしいですか？";
inline constexpr const char* kClosing = "Maroka を終了します。";
// The port's device went away (an unplugged adapter) and came back.
inline constexpr const char* kPortGoneSuffix = " が外れました。接続されると自動で開き直します。";
inline constexpr const char* kPortGoneServerSuffix = " が外れました。接続されるとサーバーモードを再開します。";
inline constexpr const char* kPortBackSuffix = " を開き直しました。";
inline constexpr const char* kPortGoneRefusalSuffix =
    " が外れているため、送受信できません。\n\n　接続を確かめて下さい。";
inline constexpr const char* kAboutPrefix = "　　　　　　　　　";
inline constexpr const char* kReceiveAtStartTitle =
    " 受信起動しましたが、ファイル名がありません。 受信ファイル名を入力(選択)して下さい。 　";
inline constexpr const char* kReceiveTitle = " 受信ファイル名を入力(選択)して下さい。 　";
inline constexpr const char* kChooseDirectTitle = " 無変換送信ファイル選択　";
inline constexpr const char* kChooseSendTitle = " 送信ファイル選択（複数選択可）　";
inline constexpr const char* kSaveSendFileTitle = " 保存送信ファイル名を入力(選択)して下さい。 　";
inline constexpr const char* kUserFilterPrefix = "|ユーザー設定(";
inline constexpr const char* kUserFilterMiddle = ")|*";
inline constexpr const char* kUserFilterSuffix = "|すべてのファイル(*.*)|*.*";
inline constexpr const char* kPercentCommentSeveralFiles =
    " % と改行の間のコメント出力有効の場合は、\n\n　複数ファイルの無変換送信はできません。";
inline constexpr const char* kDirectSeveralFiles = "無変換送信の場合は、複数ファイルの無変換送信はできません。";
inline constexpr const char* kSendFileNotFound = "送信ファイルが見つかりません。";
inline constexpr const char* kNoSendFile = "送信ファイルがありません。";
inline constexpr const char* kNoServerFolder =
    "ファイルの検索・保存フォルダが指定されていません。\n\n　　フォルダの指定をしますか？";
inline constexpr const char* kIgnoreCycleStartOn =
    "サイクルスタート無視が有効の設定になっています。\n\n　　無効にしますか？";
inline constexpr const char* kNoData = "データがありません。";
inline constexpr const char* kNoEditorSet = "エディタが設定されていません。";
inline constexpr const char* kEditorNotEnabled = "エディタが有効になっていません。";
inline constexpr const char* kNoReceiveFile = "受信ファイルがありません。";
inline constexpr const char* kCycleTimeLinePrefix = "(CYCLE-TIME ";
inline constexpr const char* kServerFolderTitle = "検索・保存フォルダの選択";
inline constexpr const char* kServerFolderUnusable = "サーバー用：検索/保存フォルダの指定をして下さい。";
inline constexpr const char* kServerFolderRequired =
    "サーバー用：検索/保存フォルダの指定をしないと、正常な動作ができません。";
inline constexpr const char* kEditorBrowseTitle = " エディタ選択　";
inline constexpr const char* kViewerBrowseTitle = " VIEWER選択　";
inline constexpr const char* kOtherAppBrowseTitle = " アプリケーション選択　";

inline constexpr const char* kBusy = "転送中です。ストップ・リセット(F5)で停止してから実行して下さい。";

} // namespace maroka::session::msg
