#pragma once

// Every text the port handling, the worker and the send loop show or log.

namespace maroka::transfer::msg {

// Line boxes that hold no usable number; the box's text follows.
inline constexpr const char* kBadBaudRatePrefix = "ボーレートが正しくありません: ";
inline constexpr const char* kBadStopBitsPrefix = "ストップビットが正しくありません: ";

// Port selection.
inline constexpr const char* kPortInfoError = "ポート情報取込みエラー";
inline constexpr const char* kDcbReadError = "ＤＣＢ設定取込みエラー";
inline constexpr const char* kPortSetupError = "ポート設定エラー";
inline constexpr const char* kPortCloseError = "COMポートクローズエラー";
inline constexpr const char* kNoPortAtAll = "使用可能なＣＯＭがありませんでした。　\n\n　　Maroka を起動できません。　";
inline constexpr const char* kNoOtherPortSuffix = " 以外に使用可能なポートはありません。";

// Worker.
inline constexpr const char* kNoSendFile = "送信ファイルがありません。";
inline constexpr const char* kCannotOpenSuffix = " をオープンできませんでした。";
inline constexpr const char* kCannotCloseSendFile = "送信ファイルをクローズできませんでした。";
inline constexpr const char* kServerStoppedByLineError = "通信回線のエラーでサーバーモードが停止しました。";

// Send loop: file-name box suffixes.
inline constexpr const char* kBoxNoConversion = " 無変換送信";
inline constexpr const char* kBoxSend = " 送信";
inline constexpr const char* kBoxServerSuffix = "（サーバー）";
inline constexpr const char* kBoxInterrupted = " 送信中断";
inline constexpr const char* kBoxNoConversionSending = " 無変換送信中";
inline constexpr const char* kBoxSending = " 送信中";
inline constexpr const char* kBoxSendError = " 送信エラー";
inline constexpr const char* kBoxSendFinished = " 送信終了";
inline constexpr const char* kBoxSendFinishedResend = " 送信終了（再送可）";
inline constexpr const char* kBoxResend = " 再送信";
inline constexpr const char* kBoxExitCountdown = " 送信後終了まで ";
inline constexpr const char* kSeconds = "秒";
inline constexpr const char* kBoxReceiving = " 受信中";

// Send loop: status line.
inline constexpr const char* kStatusWaitCycleStart = "サイクルスタート待ち";
inline constexpr const char* kStatusSendInterrupted = " 送信を中断しました。（リセット）";
inline constexpr const char* kStatusSendStart = " 送信開始";
inline constexpr const char* kStatusPreparing = " 送信準備中";
inline constexpr const char* kStatusReady = " 送信準備ＯＫ";
inline constexpr const char* kStatusDataSendInterrupted = " データ送信を中断しました。（リセット）";
inline constexpr const char* kStatusSendFailed = " データ送信中にエラーがありました。";
inline constexpr const char* kStatusClosing = "Maroka を終了します。";
inline constexpr const char* kCycleTimePrefix = "ｻｲｸﾙﾀｲﾑ：";
inline constexpr const char* kBytesSentPrefix = " 送信ﾊﾞｲﾄ数: ";
inline constexpr const char* kBytesSuffix = "ﾊﾞｲﾄ";

// Send loop: message boxes.
inline constexpr const char* kSendIoErrorPrefix = "データ送信 I/O エラー （";
inline constexpr const char* kSendIoErrorSuffix = "）";
inline constexpr const char* kWriteSynchroError = "データ送信エラー（同期ＩＯ）";
inline constexpr const char* kWriteUnsynchroError = "データ送信エラー（非同期ＩＯ）";
inline constexpr const char* kNoBytesWritten = "データ書き込みエラー（非同期ＩＯ）";
inline constexpr const char* kCannotExitAfterError = "送信中にエラーが発生したため、Maroka を終了できません。";
inline constexpr const char* kSetCommMaskClearError = "SetCommMask Clear Error!";
inline constexpr const char* kSetCommMaskError = "SetCommMask Error!";
inline constexpr const char* kWaitCommEventError = "WaitCommEvent Error!";
inline constexpr const char* kPurgeCommError = "PurgeComm Error!";

// Line errors.
inline constexpr const char* kErrorQueryFailed = "通信エラー情報の取得に失敗しました。";
inline constexpr const char* kLineRxOver = "入力バッファのオーバーフローが発生しました。";
inline constexpr const char* kLineOverrun = "何文字か受信に失敗した可能性があります。";
inline constexpr const char* kLineFrame = "フレーミング エラーを検出しました。";
inline constexpr const char* kLineBreak = "ブレーク条件を検出しました。";
inline constexpr const char* kLineTxFull = "出力バッファがいっぱいでした。";
inline constexpr const char* kLineIoe = "通信中にI/Oエラーが発生しました。";

// Settings that must be numbers before a send starts.
inline constexpr const char* kNotANumberSuffix = " の値が数値ではありません: ";
inline constexpr const char* kChunkTooLarge = "送信バッファ処理数 は 1 から 2047 までの数値にして下さい: ";

} // namespace maroka::transfer::msg
