#pragma once

// Every text the notification mail shows or puts on the wire.

namespace maroka::mail::msg {

// Progress: file-name box and status line.
inline constexpr const char* kBoxSending = "メール送信中";
inline constexpr const char* kStatusJobStarted = "メール送信作業を開始しました。";
inline constexpr const char* kStatusConnecting = "ホストに接続中です。";
inline constexpr const char* kStatusConnected = "ホストに接続しました。";
inline constexpr const char* kStatusSending = "メール送信中です。";
inline constexpr const char* kStatusSent = "メールを送信しました。";
inline constexpr const char* kBoxSent = "メールを送信しました。";
inline constexpr const char* kStatusFinished = "メール送信終了";
inline constexpr const char* kSentMessage = "メールを送信しました。";

// The body when neither the mail text file nor the command carries one.
inline constexpr const char* kDefaultBody = "Maroka からのメールです。(^-^)v";

// Failures of the exchange.
inline constexpr const char* kAuthenticationFailed = "Authentication failed";
inline constexpr const char* kIncompleteHeader = "Incomplete Header";
inline constexpr const char* kConnectTimedOut = "Connect timed out";
inline constexpr const char* kReadTimedOut = "Read timed out";
inline constexpr const char* kConnectionClosed = "Connection closed gracefully";
inline constexpr const char* kInvalidReply = "Invalid reply from the server";
inline constexpr const char* kLookupTimedOut = "Host lookup timed out";
inline constexpr const char* kCancelled = "Mail cancelled";
inline constexpr const char* kNoHost = "No mail host is set";
inline constexpr const char* kPortNotANumber = "ＳＭＴＰポート の値が数値ではありません: ";

// Headers.
inline constexpr const char* kCharset = "shift-JIS";

} // namespace maroka::mail::msg
