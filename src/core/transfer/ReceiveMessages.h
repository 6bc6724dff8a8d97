#pragma once

// Every text the receive loop and the received-file repair show or log.

#include "core/logs/LogMessages.h"

namespace maroka::transfer::msg {

// Receive file.
inline constexpr const char* kTailPercentError = "受信末尾％出力エラー";
inline constexpr const char* kTailLineEndError = "受信末尾改行出力エラー";
inline constexpr const char* kCannotCloseReceiveFile = "受信ファイルをクローズできませんでした。";
inline constexpr const char* kCannotWriteReceiveFile = "受信ファイルにデータを書き込めませんでした。";
inline constexpr const char* kCannotWriteReceiveLineEnd = "受信改行を書き込めませんでした。";

// File-name box.
inline constexpr const char* kBoxCommandWait = " コマンド待ち";
inline constexpr const char* kBoxWaitingForData = "　受信データ待ち";
inline constexpr const char* kBoxReceivingPrefix = " 受信中 (";
inline constexpr const char* kBoxBytesClose = "ﾊﾞｲﾄ)";
inline constexpr const char* kBoxReceivedPrefix = "\xE3\x80\x80("; // a full-width space, then "("
inline constexpr const char* kBoxReceivedSuffix = "ﾊﾞｲﾄ受信)";
inline constexpr const char* kBoxReceiveEnd = "　受信終了";

// Status line.
inline constexpr const char* kStatusOutputFromMachine = " 機械側データを出力して下さい。";
inline constexpr const char* kStatusServerMode = " サーバーモード";
inline constexpr const char* kStatusExitAfterReceive = " 受信後終了 ";
inline constexpr const char* kStatusExitSeconds = "秒で終了";
inline constexpr const char* kStatusReceiveEndPrefix = " 受信終了 (";
inline constexpr const char* kStatusReceiveEndSuffix = "ﾊﾞｲﾄ受信)";
inline constexpr const char* kStatusContinueSuffix = "ﾊﾞｲﾄ受信) 継続して受信できます。";
inline constexpr const char* kStatusReceiveError = " データ受信中にエラーがありました。";

// Message boxes.
inline constexpr const char* kPercentWarning =
    "通常使われない位置に%(EOR)が使用されています。\n\n  受信後に確認して下さい。";
inline constexpr const char* kReadAsyncTimeout = "受信入力処理エラー（非同期ＩＯ）";
inline constexpr const char* kReadUnsynchroError = "データ受信エラー（非同期ＩＯ）";
inline constexpr const char* kReadSynchroError = "データ受信エラー（同期ＩＯ）　";

// The log words are the logs' own.
using logs::msg::kErrReadIo;
using logs::msg::kErrReadSynchro;
using logs::msg::kErrReadUnsynchro;
using logs::msg::kLogReceiveContinued;
using logs::msg::kLogReceiveEnd;
using logs::msg::kLogReceiveFailed;
using logs::msg::kLogReceiveStart;
using logs::msg::kLogRepaired;
using logs::msg::kLogRepairFailed;

// Repair dialogue.
inline constexpr const char* kRepairLinePrefix = "⇒ ";
inline constexpr const char* kRepairAroundAnd = "\n　　の次の１～３ブロックあたりと、\n";
inline constexpr const char* kRepairOthers = "他 ";
inline constexpr const char* kRepairPlacesDropped = " 個所で、データの取りこぼしがありました。　\n";
inline constexpr const char* kRepairAroundDropped =
    "\n　　の次の１～３ブロックあたりで、データの取りこぼしがありました。　\n";
inline constexpr const char* kRepairBytesPrefix = "\n　受信ﾊﾞｲﾄ数: ";
inline constexpr const char* kRepairBytesSuffix = " ﾊﾞｲﾄ";
inline constexpr const char* kRepairContinued =
    "\n\n 継続受信の場合は、データ修復できません。　　\n\n 受信をやり直して下さい。";
inline constexpr const char* kRepairAskRetry =
    "\n\n同じデータの受信をやり直すと、修復できる可能性があります。。　　\n\n 再受信しますか？";
inline constexpr const char* kStatusReReceive = " 再受信　データ待ち";
inline constexpr const char* kRepairSamePlaces = "\n\n エラー箇所が同じため、修復できません。";
inline constexpr const char* kStatusRepairing = " 受信データを修復しています。暫くお待ち下さい。";
inline constexpr const char* kBoxRepairedPrefix = " (修復後:";
inline constexpr const char* kRepairNotDone = "\n\n 修復できませんでした。";
inline constexpr const char* kStatusRepairError = " ファイル修復エラー！ ファイル修復に失敗しました。";
inline constexpr const char* kRepairWriteError = "ファイルを修復できませんでした。";
inline constexpr const char* kRepairErrorPrefix = "ファイルを修復できませんでした。Err:";
inline constexpr const char* kRepairSuccess =
    "受信ファイル修復に成功しました。\n\n　行末（ブロックエンド）の空白は除去されています。\n"
    "　改行コードは、CR+LF になっています。\n\n";
inline constexpr const char* kRepairSizePrefix = "行末空白を除く受信ファイルサイズ: ";
inline constexpr const char* kRepairSizeSuffix = " バイト\n";
inline constexpr const char* kRepairCrCountPrefix = "　（CR数：";
inline constexpr const char* kRepairCrCountSuffix = " バイト）";
inline constexpr const char* kRepairReceivedBytesPrefix = "\n　（受信バイト数: ";
inline constexpr const char* kRepairReceivedBytesSuffix = " バイト）";
inline constexpr const char* kRepairCheckIt = "\n\n　確認してみて下さい。　　　　Maroka";
inline constexpr const char* kStatusRepaired = " 修復完了！ 行末空白は除去され、改行は、CR+LF になっています。";

} // namespace maroka::transfer::msg
