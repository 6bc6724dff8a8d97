#include "core/settings/SessionSettings.h"

#include "core/text/Ascii.h"

#include <cstdlib>

namespace maroka::settings {

namespace {

using S = SessionSettings;

// Order matters: it is the order of reading and, with the exceptions the
// writer knows about, of writing.
const SettingKey kKeys[] = {
    {"起動ポート", &S::startupPort},
    {"LEFT", &S::left},
    {"TOP", &S::top},
    {"WIDTH", &S::width},
    {"HEIGHT", &S::height},
    {"ファイル選択プレビュ", &S::openDialogPreview},
    {"ファイル保存プレビュ", &S::saveDialogPreview},
    {"送信ファイル選択フォルダ", &S::sendFileOpenFolder},
    {"送信ファイル保存フォルダ", &S::sendFileSaveFolder},
    {"送信ファイルフィルタ", &S::sendFileFilter},
    {"受信ファイル保存フォルダ", &S::receiveFileSaveFolder},
    {"受信ファイルフィルタ", &S::receiveFileFilter},
    {"リスト選択フォルダ", &S::listOpenFolder},
    {"リスト保存フォルダ", &S::listSaveFolder},
    {"リスト選択フィルタ", &S::listFilter},

    {"ストップビット", &S::stopBits},
    {"ボーレート", &S::baudRate},
    {"送信バッファ処理数", &S::sendBufferSize},
    {"CODE", &S::code},
    {"DC3", &S::dc3Code},
    {"MEM/DNC", &S::sendMode},

    {"送信開始時DC2出力", &S::sendDc2AtStart},
    {"送信終了時DC4出力", &S::sendDc4AtEnd},
    {"送信先頭％出力", &S::sendHeadPercent},
    {"送信末尾％出力", &S::sendTailPercent},
    {"ラベル毎％出力", &S::percentAtEachLabel},
    {"末尾％改行出力", &S::endOfBlockAfterTailPercent},
    {"％コメント出力", &S::sendPercentComment},
    {"無視文字列有効", &S::ignoreStringsEnabled},
    {"無視文字列", &S::ignoreStrings, 511},
    {"無視文字列区切", &S::ignoreStringSeparator, 63},
    {"ブロックスキップ", &S::blockSkipEnabled},
    {"ブロックスキップ文字", &S::blockSkipCharacter, 63},
    {"コメント開始", &S::commentStartEnabled},
    {"コメント開始文字", &S::commentStartCharacter, 63},
    {"送信後終了", &S::exitAfterSend},
    {"送信後終了秒数", &S::exitAfterSendSeconds},
    {"送信遅延", &S::sendDelayEnabled},
    {"送信遅延時間", &S::sendDelayMs},
    {"送信ウエイト", &S::sendWaitEnabled},
    {"送信ウエイト時間", &S::sendWaitMs},
    {"送信改行文字", &S::sendEndOfBlock},
    {"再送モード", &S::resendMode},
    {"２バイトコードチェック", &S::twoByteCheck},
    {"リセット送信ファイルクリア", &S::resetClearsSendFile},
    {"送信完了時ファイルクリア", &S::completedSendClearsFile},
    {"推定加工残時間表示", &S::showRemainingTime},
    {"送信データ表示", &S::showData},
    {"コメント表示", &S::showComments},
    {"進捗表示", &S::showProgress},
    {"起動時送信", &S::sendAtStartup},
    {"ドラック＆ドロップ送信", &S::sendOnDrop},
    {"サイクルスタート無視", &S::ignoreCycleStart},
    {"無変換送信", &S::noConversionSend},
    {"出力文字変換", &S::convertOutputCharacters},
    {"サブプロ無視コード", &S::subprogramIgnoreCodesEnabled},

    {"受信開始時DC出力", &S::receiveStartDcEnabled},
    {"受信開始時DC1", &S::receiveStartDc1},
    {"受信終了時DC出力", &S::receiveEndDcEnabled},
    {"受信終了時DC3", &S::receiveEndDc3},
    {"受信後終了", &S::exitAfterReceive},
    {"受信後終了秒数", &S::exitAfterReceiveSeconds},
    {"受信後ファイルを開く", &S::openFileAfterReceive},
    {"受信改行文字", &S::receiveEndOfBlock},
    {"受信終了検知時間", &S::receiveEndSeconds},
    {"ラベル：→Ｏ変換", &S::colonToO},
    {"無変換受信", &S::noConversionReceive},
    {"制御コード削除", &S::deleteControlCodes},
    {"受信先頭％出力", &S::receiveHeadPercent},
    {"受信末尾％出力", &S::receiveTailPercent},
    {"継続受信", &S::continuousReceive},
    {"リセット受信ファイルクリア", &S::resetClearsReceiveFile},
    {"受信エラー修復", &S::repairReceiveErrors},
    {"化け文字変換", &S::convertGarbledCharacters},

    {"エディタ有効", &S::editorEnabled},
    {"エディタ", &S::editor},
    {"エディタ選択フォルダ", &S::editorBrowseFolder},
    {"VIEWER有効", &S::viewerEnabled},
    {"VIEWER", &S::viewer},
    {"VIEWER選択フォルダ", &S::viewerBrowseFolder},
    {"その他のアプリ有効", &S::otherAppEnabled},
    {"その他のアプリ", &S::otherApp},
    {"その他のアプリ選択フォルダ", &S::otherAppBrowseFolder},

    {"検索・保存フォルダ", &S::serverFolder},
    {"通信ログ保存", &S::keepCommLog},
    {"ログ最大サイズ", &S::logMaxSizeKb},
    {"ファイルコール命令", &S::fileCallCommand},
    {"ファイルセーブ命令", &S::fileSaveCommand},
    {"ファイルリスト命令", &S::fileListCommand},
    {"ハンディＯＮ命令", &S::handyOnCommand},
    {"ハンディＯＦＦ命令", &S::handyOffCommand},
    {"ログ取り込み命令", &S::logRequestCommand},
    {"ファイル削除命令", &S::fileDeleteCommand},
    {"ファイル名変更命令", &S::fileRenameCommand},
    {"ファイル名変更区切", &S::fileRenameSeparator},
    {"メール送信命令", &S::mailCommand},

    {"メールホスト", &S::mailHost},
    {"メールＩＤ", &S::mailId},
    {"メール送信者", &S::mailSenderName},
    {"送信者アドレス", &S::mailSenderAddress},
    {"ＳＭＴＰポート", &S::smtpPort},
    {"送信先アドレス", &S::mailRecipient},
    {"メール件名", &S::mailSubject},
};

template <typename Member> const SettingKey& FindRow(Member member)
{
    for (const SettingKey& entry : kKeys) {
        if (const auto* candidate = std::get_if<Member>(&entry.member); candidate != nullptr && *candidate == member)
            return entry;
    }
    // A member without its row is a mistake in the table above.
    std::abort();
}

} // namespace

const SettingKey& KeyOf(TextMember member)
{
    return FindRow(member);
}

const SettingKey& KeyOf(IntegerMember member)
{
    return FindRow(member);
}

const SettingKey& KeyOf(FlagMember member)
{
    return FindRow(member);
}

std::span<const SettingKey> SettingKeys()
{
    return kKeys;
}

const SettingKey* FindSettingKey(std::string_view key)
{
    for (const SettingKey& entry : kKeys) {
        if (text::AsciiEqualsIgnoreCase(entry.key, key))
            return &entry;
    }
    return nullptr;
}

} // namespace maroka::settings
