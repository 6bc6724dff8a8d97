#pragma once

// Every text the send-data preparation shows, byte for byte in one place so
// that tests compare against the same constants.

namespace maroka::prepare::msg {

inline constexpr const char* kNoSendFile = "送信ファイルがありません。";
inline constexpr const char* kOutputOpenFailed = "送信ファイルをオープンできませんでした。";
inline constexpr const char* kInputOpenFailedSuffix = " をオープンできませんでした。";
inline constexpr const char* kInputCloseFailed = "入力ファイルをクローズできませんでした。";
inline constexpr const char* kReadingSuffix = " 読み込み中";
inline constexpr const char* kReadingDoneSuffix = " 読み込み終了";
inline constexpr const char* kCreatingSuffix = " 送信データ作成中";
inline constexpr const char* kNotFoundQuestion = "\n\n　が見つかりません。\n\n作業を続行しますか？";
inline constexpr const char* kWriteFailed = "送信ファイルにデータを書き込めませんでした。";
inline constexpr const char* kFileOutputError = "ファイル出力エラー";
inline constexpr const char* kOutputCloseFailed = "送信ファイルをクローズできませんでした。";
inline constexpr const char* kTwoByteCodeSuffix = "\n\nに、２バイトコードがあります。";
inline constexpr const char* kG65InMemorySuffix = "\n\nG65[ ]は、メモリー送信では無効です。";
inline constexpr const char* kUnclosedComment = "( に対応する ) がありません。";
inline constexpr const char* kNotForDncSuffix =
    "\n\nこのデータは、DNC送信できません。\n\nメモリー送信にして、送信して下さい。";
inline constexpr const char* kTwoByteCommentMarker = "(=== 2bytes code ===";

// Subprogram expansion.
inline constexpr const char* kBadCallForm = "サブプログラム呼び出し形式が違います。";
inline constexpr const char* kCallWithoutBracket = "サブプログラム呼び出しに ] がありません。";
inline constexpr const char* kSubprogramOpenFailedSuffix = " を、オープンできませんでした。";
inline constexpr const char* kSubprogramCloseFailedSuffix = " を、クローズできませんでした。";
inline constexpr const char* kDoubleBytesFileName = "[DOUBLE BYTES FILENAME]";

// Where the old program had no answer: a read error, a text that has no
// CP932 form, an argument too long for its slot, a cycle of calls.
inline constexpr const char* kInputReadFailedSuffix = " を読み込めませんでした。";
inline constexpr const char* kNotCp932Suffix = "\n\nに、送信データにできない文字があります。";
inline constexpr const char* kArgumentTooLongInfix = "\n\nの引数 ";
inline constexpr const char* kArgumentTooLongSuffix = " が長すぎます（15バイトまで）。";
inline constexpr const char* kTooManyRepetitionsSuffix = "\n\nの繰り返し回数が多すぎます（9999回まで）。";
inline constexpr const char* kNestingTooDeepSuffix = "\n\nサブプログラムの呼び出しが深すぎます（16段まで）。";

// Remaining machining time during a DNC send.
inline constexpr const char* kRemainingCheckFailed = "残り加工時間のチェックに失敗しました。";
inline constexpr const char* kHoursInfix = " 時間 ";
inline constexpr const char* kMinutesSuffix = " 分";
inline constexpr const char* kSecondsSuffix = " 秒";
inline constexpr const char* kCannotCompute = "計算できません";
inline constexpr const char* kComputing = "計算中";

// The feed forecast before a DNC send.
inline constexpr const char* kFeedStopsFormat =
    "DNC 供給不足の予測（%u bps）: %zu 行目「%s」から計 %zu 回、約 %.1f 秒の停止";
inline constexpr const char* kFeedNeedsFormat = " ― %u bps 以上なら止まりません。";
inline constexpr const char* kFeedTooFast = " ― 115200 bps でも止まります。";
inline constexpr const char* kFeedHoldsFormat = "DNC 供給不足の予測なし（%u bps）";

} // namespace maroka::prepare::msg
