#include "gui/TSend_Set_Form.h"

#include "core/settings/ColourValue.h"
#include "core/settings/DialogEnabling.h"
#include "core/settings/SettingsMessages.h"
#include "gui/ConversionGrid.h"
#include "gui/SettingColour.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace maroka::gui {

namespace {

using S = settings::SessionSettings;

QString Utf8(const char* text)
{
    return QString::fromUtf8(text);
}

QString Utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// NC text is upper case; only ASCII letters change, as everywhere on the data.
QString AsciiUpper(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(c.unicode() - u'a' + u'A');
        }
    }
    return upper;
}

void ForceUpperCase(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = AsciiUpper(text);
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

std::vector<std::string> Items(const QComboBox* box)
{
    std::vector<std::string> items;
    for (int i = 0; i < box->count(); ++i) {
        items.push_back(box->itemText(i).toStdString());
    }
    return items;
}

void SetItems(QComboBox* box, const std::vector<std::string>& items)
{
    const QSignalBlocker blocker(box);
    const QString text = box->currentText();
    box->clear();
    for (const std::string& item : items) {
        box->addItem(QString::fromStdString(item));
    }
    box->setEditText(text);
}

QWidget* Row(std::initializer_list<QWidget*> widgets, bool stretch = true)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets) {
        layout->addWidget(widget);
    }
    if (stretch) {
        layout->addStretch(1);
    }
    return row;
}

QGroupBox* Group(const char* caption, std::initializer_list<QWidget*> widgets)
{
    auto* group = new QGroupBox(Utf8(caption));
    auto* layout = new QVBoxLayout(group);
    for (QWidget* widget : widgets) {
        layout->addWidget(widget);
    }
    return group;
}

QLabel* Label(const char* text)
{
    return new QLabel(Utf8(text));
}

QPushButton* Button(const char* name, const char* caption)
{
    auto* button = new QPushButton(Utf8(caption));
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TSend_Set_Form::TSend_Set_Form(session::Session& session, QWidget* mainWindow)
    : QDialog(mainWindow), session_(session), mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("TSend_Set_Form"));
    setModal(false);
    setWindowTitle(QString::fromStdString(session_.VersionText()) + QStringLiteral("　設定"));

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    pages_->addTab(BuildSendPage(), QStringLiteral("送信設定"));
    pages_->addTab(BuildConversionPage(), QStringLiteral("出力文字変換"));
    pages_->addTab(BuildReceivePage(), QStringLiteral("受信・表示設定"));
    pages_->addTab(BuildServerPage(), QStringLiteral("サーバ設定"));
    pages_->addTab(BuildApplicationsPage(), QStringLiteral("外部アプリ他"));

    QPushButton* apply = Button("ApplyButton", "設定有効(&E)");
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addWidget(Row({apply}, false), 0, Qt::AlignRight);
}

void TSend_Set_Form::Bind(QWidget* control, const settings::SettingKey& key)
{
    bindings_.Add(control, key);
}

void TSend_Set_Form::ControlChanged(QWidget* control)
{
    if (loading_) {
        return;
    }
    if (const settings::SettingKey* key = bindings_.KeyOf(control)) {
        session_.DialogValueChanged(*key, SettingBindings::Text(control).toStdString());
    }
    UpdateDialogEnabling();
}

QCheckBox* TSend_Set_Form::Check(const char* name, const char* caption, settings::FlagMember member)
{
    auto* check = new QCheckBox(Utf8(caption));
    check->setObjectName(QString::fromLatin1(name));
    Bind(check, settings::KeyOf(member));
    connect(check, &QCheckBox::toggled, this, [this, check] { ControlChanged(check); });
    return check;
}

QRadioButton* TSend_Set_Form::Radio(const char* name, const char* caption, settings::FlagMember member)
{
    auto* radio = new QRadioButton(Utf8(caption));
    radio->setObjectName(QString::fromLatin1(name));
    Bind(radio, settings::KeyOf(member));
    connect(radio, &QRadioButton::toggled, this, [this, radio] { ControlChanged(radio); });
    return radio;
}

QLineEdit* TSend_Set_Form::Edit(const char* name, settings::TextMember member, bool upperCase)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    if (upperCase) {
        ForceUpperCase(edit);
    }
    Bind(edit, settings::KeyOf(member));
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { ControlChanged(edit); });
    return edit;
}

QComboBox* TSend_Set_Form::Choice(const char* name, settings::TextMember member, const QStringList& items)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    Bind(box, settings::KeyOf(member));
    connect(box, &QComboBox::currentTextChanged, this, [this, box] { ControlChanged(box); });
    return box;
}

QComboBox* TSend_Set_Form::PathBox(const char* name, settings::TextMember member)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(settings::kHistoryCount);
    box->setMinimumContentsLength(32);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Bind(box, settings::KeyOf(member));
    connect(box, &QComboBox::editTextChanged, this, [this, box] { ControlChanged(box); });
    return box;
}

QWidget* TSend_Set_Form::BuildSendPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SendPage"));

    QCheckBox* dc2 = Check("sendDc2CheckBox", "送信開始時 DC2 出力", &S::sendDc2AtStart);
    QCheckBox* dc4 = Check("sendDc4CheckBox", "送信終了時 DC4 出力", &S::sendDc4AtEnd);

    delayCheck_ = Check("delayCheckBox", "有効", &S::sendDelayEnabled);
    delayEdit_ = Edit("delayEdit", &S::sendDelayMs);
    QCheckBox* waitCheck = Check("waitCheckBox", "有効", &S::sendWaitEnabled);
    QLineEdit* waitEdit = Edit("waitEdit", &S::sendWaitMs);
    QGroupBox* delay = Group(" 遅延タイマ ", {Row({delayCheck_, delayEdit_, Label("ms")})});
    QGroupBox* wait = Group(" ウエイト ", {Row({waitCheck, waitEdit, Label("ms")})});

    percentChecks_ = {
        Check("headPercentCheckBox", "先頭", &S::sendHeadPercent),
        Check("tailPercentCheckBox", "末尾", &S::sendTailPercent),
        Check("labelPercentCheckBox", "ラベル（Ｏ）番号毎", &S::percentAtEachLabel),
        Check("tailPercentEobCheckBox", "末尾 % に改行を付ける", &S::endOfBlockAfterTailPercent),
        Check("percentCommentCheckBox", "% 行コメント出力", &S::sendPercentComment),
    };
    auto* percent = new QGroupBox(QStringLiteral(" % 出力 "));
    auto* percentLayout = new QGridLayout(percent);
    for (int i = 0; i < static_cast<int>(percentChecks_.size()); ++i) {
        percentLayout->addWidget(percentChecks_[static_cast<std::size_t>(i)], i / 2, i % 2);
    }

    blockSkipCheck_ = Check("blockSkipCheckBox", "有効", &S::blockSkipEnabled);
    blockSkipEdit_ = Edit("blockSkipEdit", &S::blockSkipCharacter);
    commentCheck_ = Check("commentCheckBox", "有効", &S::commentStartEnabled);
    commentEdit_ = Edit("commentEdit", &S::commentStartCharacter);
    ignoreStringsCheck_ = Check("ignoreStringsCheckBox", "有効", &S::ignoreStringsEnabled);
    ignoreStringsEdit_ = Edit("ignoreStringsEdit", &S::ignoreStrings, true);
    ignoreSeparatorEdit_ = Edit("ignoreSeparatorEdit", &S::ignoreStringSeparator);
    for (QLineEdit* small : {delayEdit_, waitEdit, blockSkipEdit_, commentEdit_, ignoreSeparatorEdit_}) {
        small->setMaximumWidth(80);
    }
    QGroupBox* blockSkip =
        Group(" ブロックスキップ ", {Row({blockSkipCheck_, Label("ﾌﾞﾛｯｸｽｷｯﾌﾟ文字"), blockSkipEdit_})});
    QGroupBox* comment = Group(" コメント ", {Row({commentCheck_, Label("コメント開始文字"), commentEdit_})});
    QGroupBox* ignore = Group(" 無視文字列 ", {Row({ignoreStringsCheck_, Label("無視文字列")}), ignoreStringsEdit_,
                                               Row({Label("無視文字列の区切"), ignoreSeparatorEdit_})});

    exitAfterSendCheck_ = Check("exitAfterSendCheckBox", "有効", &S::exitAfterSend);
    exitAfterSendEdit_ = Edit("exitAfterSendEdit", &S::exitAfterSendSeconds);
    exitAfterSendEdit_->setMaximumWidth(80);
    QGroupBox* exitAfter = Group(" 送信後終了 ", {Row({exitAfterSendCheck_, exitAfterSendEdit_, Label("秒")})});

    sendEndOfBlock_ = Choice("sendEobComboBox", &S::sendEndOfBlock, {"LF", "CR+LF", "LF+CR+CR"});

    twoByteCheck_ = Check("twoByteCheckBox", "２バイトコードチェック", &S::twoByteCheck);
    ignoreCycleStartCheck_ = Check("ignoreCycleStartCheckBox", "サイクルスタート無視", &S::ignoreCycleStart);
    QCheckBox* resetClears = Check("resetClearsSendCheckBox", "リセットで送信ファイルクリア", &S::resetClearsSendFile);
    QCheckBox* atStartup = Check("sendAtStartupCheckBox", "起動時送信", &S::sendAtStartup);
    QCheckBox* onDrop = Check("sendOnDropCheckBox", "ドラック＆ドロップ送信", &S::sendOnDrop);
    resendCheck_ = Check("resendCheckBox", "再送モード有効", &S::resendMode);
    noConversionSendCheck_ = Check("noConversionSendCheckBox", "無変換送信", &S::noConversionSend);
    QCheckBox* completedClears =
        Check("completedClearsCheckBox", "送信完了時ファイルクリア", &S::completedSendClearsFile);
    connect(resendCheck_, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked && !loading_) {
            Exclude(settings::ExclusiveOption::ResendMode, ignoreCycleStartCheck_);
        }
    });
    connect(ignoreCycleStartCheck_, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked && !loading_) {
            Exclude(settings::ExclusiveOption::IgnoreCycleStart, resendCheck_);
        }
    });

    auto* layout = new QGridLayout(page);
    layout->addWidget(dc2, 0, 0);
    layout->addWidget(dc4, 0, 1);
    layout->addWidget(delay, 1, 0);
    layout->addWidget(wait, 1, 1);
    layout->addWidget(percent, 2, 0, 1, 2);
    layout->addWidget(blockSkip, 3, 0);
    layout->addWidget(comment, 3, 1);
    layout->addWidget(ignore, 4, 0, 1, 2);
    layout->addWidget(exitAfter, 5, 0);
    layout->addWidget(Row({Label("送信改行(EOB)"), sendEndOfBlock_}), 5, 1);
    QCheckBox* const options[] = {twoByteCheck_, ignoreCycleStartCheck_, resetClears,    atStartup, onDrop,
                                  resendCheck_,  noConversionSendCheck_, completedClears};
    for (int i = 0; i < 8; ++i) {
        layout->addWidget(options[i], 6 + i / 2, i % 2);
    }
    layout->setRowStretch(10, 1);
    return page;
}

QWidget* TSend_Set_Form::BuildConversionPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ConversionPage"));

    convertCheck_ = Check("convertCheckBox", "文字列変換有効", &S::convertOutputCharacters);
    grid_ = new ConversionGrid;
    grid_->setObjectName(QStringLiteral("conversionGrid"));
    connect(grid_, &ConversionGrid::PairEdited, this, [this] {
        if (!loading_) {
            session_.DialogConversionCellEdited();
        }
    });
    clearPairsButton_ = Button("clearPairsButton", "All Clear (&X)");
    connect(clearPairsButton_, &QPushButton::clicked, this, &TSend_Set_Form::ClearConversionPairs);

    ignoreCodesCheck_ = Check("ignoreCodesCheckBox", "無視有効", &S::subprogramIgnoreCodesEnabled);
    ignoreCodeList_ = new QListWidget;
    ignoreCodeList_->setObjectName(QStringLiteral("ignoreCodeList"));
    ignoreCodeList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ignoreCodeEdit_ = new QLineEdit;
    ignoreCodeEdit_->setObjectName(QStringLiteral("ignoreCodeEdit"));
    ForceUpperCase(ignoreCodeEdit_);
    QPushButton* add = Button("addCodeButton", "追加(&A)");
    QPushButton* remove = Button("deleteCodeButton", "削除(&D)");
    QPushButton* clear = Button("clearCodesButton", "All Clear (&Z)");
    ignoreCodeButtons_ = {add, remove, clear};
    connect(add, &QPushButton::clicked, this, &TSend_Set_Form::AddIgnoreCode);
    connect(remove, &QPushButton::clicked, this, &TSend_Set_Form::DeleteIgnoreCodes);
    connect(clear, &QPushButton::clicked, this, &TSend_Set_Form::ClearIgnoreCodes);

    auto* conversion = new QVBoxLayout;
    conversion->addWidget(Row({convertCheck_, clearPairsButton_}));
    conversion->addWidget(grid_, 1);
    auto* codes = new QVBoxLayout;
    codes->addWidget(ignoreCodesCheck_);
    codes->addWidget(ignoreCodeList_, 1);
    codes->addWidget(ignoreCodeEdit_);
    codes->addWidget(Row({add, remove}));
    codes->addWidget(clear);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(conversion, 3);
    layout->addLayout(codes, 1);
    return page;
}

QWidget* TSend_Set_Form::BuildReceivePage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ReceivePage"));

    // Each pair of choices in a row of its own, so the pairs exclude only
    // within themselves.
    QCheckBox* startDc = Check("receiveStartDcCheckBox", "受信開始時", &S::receiveStartDcEnabled);
    dc1Radio_ = Radio("dc1RadioButton", "DC1", &S::receiveStartDc1);
    dc2Radio_ = new QRadioButton(QStringLiteral("DC2"));
    dc2Radio_->setObjectName(QStringLiteral("dc2RadioButton"));
    QCheckBox* endDc = Check("receiveEndDcCheckBox", "受信終了時", &S::receiveEndDcEnabled);
    dc3Radio_ = Radio("dc3RadioButton", "DC3", &S::receiveEndDc3);
    dc4Radio_ = new QRadioButton(QStringLiteral("DC4"));
    dc4Radio_->setObjectName(QStringLiteral("dc4RadioButton"));
    QGroupBox* dcCodes =
        Group(" 受信時DCコード出力 ", {Row({startDc, dc1Radio_, dc2Radio_}), Row({endDc, dc3Radio_, dc4Radio_})});

    exitAfterReceiveCheck_ = Check("exitAfterReceiveCheckBox", "有効", &S::exitAfterReceive);
    exitAfterReceiveEdit_ = Edit("exitAfterReceiveEdit", &S::exitAfterReceiveSeconds);
    exitAfterReceiveEdit_->setMaximumWidth(80);
    QGroupBox* exitAfter = Group(" 受信後終了 ", {Row({exitAfterReceiveCheck_, exitAfterReceiveEdit_, Label("秒")})});

    QCheckBox* head = Check("receiveHeadPercentCheckBox", "先頭", &S::receiveHeadPercent);
    QCheckBox* tail = Check("receiveTailPercentCheckBox", "末尾", &S::receiveTailPercent);
    QGroupBox* percent = Group(" 受信 % 出力 ", {Row({head, tail})});
    QComboBox* eob = Choice("receiveEobComboBox", &S::receiveEndOfBlock, {"LF", "CR+LF", "LF+CR+CR"});
    QLineEdit* endSeconds = Edit("receiveEndSecondsEdit", &S::receiveEndSeconds);
    endSeconds->setMaximumWidth(80);

    QCheckBox* openAfter = Check("openAfterReceiveCheckBox", "受信後ファイルを開く", &S::openFileAfterReceive);
    QCheckBox* colonToO = Check("colonToOCheckBox", "ラベル ：→Ｏ変換", &S::colonToO);
    noConversionReceiveCheck_ = Check("noConversionReceiveCheckBox", "無変換受信", &S::noConversionReceive);
    QCheckBox* continuous = Check("continuousReceiveCheckBox", "継続受信", &S::continuousReceive);
    QCheckBox* repair = Check("repairCheckBox", "受信エラー修復", &S::repairReceiveErrors);
    QCheckBox* resetClears =
        Check("resetClearsReceiveCheckBox", "リセットで受信ファイルクリア", &S::resetClearsReceiveFile);
    QCheckBox* garbled = Check("garbledCheckBox", "化け文字変換", &S::convertGarbledCharacters);
    receiveConversionControls_ = {colonToO, head, tail, eob};

    QGroupBox* display = Group(" 表示 ", {Check("showRemainingCheckBox", "推定送信残時間表示", &S::showRemainingTime),
                                          Check("showDataCheckBox", "送受信データ表示", &S::showData),
                                          Check("showCommentsCheckBox", "コメント表示", &S::showComments),
                                          Check("showProgressCheckBox", "進捗表示", &S::showProgress)});
    commLogCheck_ = Check("commLogCheckBox", "有効", &S::keepCommLog);
    logSizeEdit_ = Edit("logSizeEdit", &S::logMaxSizeKb);
    logSizeEdit_->setMaximumWidth(80);
    QGroupBox* log = Group(" 通信ログ保存 ", {Row({commLogCheck_, Label("最大サイズ"), logSizeEdit_, Label("KB")})});

    auto* layout = new QGridLayout(page);
    layout->addWidget(dcCodes, 0, 0);
    layout->addWidget(exitAfter, 0, 1);
    layout->addWidget(percent, 1, 0);
    layout->addWidget(Row({Label("受信改行(EOB)"), eob}), 1, 1);
    layout->addWidget(Row({Label("受信終了検知時間"), endSeconds, Label("秒")}), 2, 0, 1, 2);
    QCheckBox* const options[] = {openAfter,   colonToO, noConversionReceiveCheck_, continuous, repair,
                                  resetClears, garbled};
    for (int i = 0; i < 7; ++i) {
        layout->addWidget(options[i], 3 + i / 2, i % 2);
    }
    layout->addWidget(display, 7, 0);
    auto* right = new QVBoxLayout;
    right->addWidget(log);
    right->addWidget(BuildColourGroup());
    layout->addLayout(right, 7, 1);
    layout->setRowStretch(8, 1);
    return page;
}

QGroupBox* TSend_Set_Form::BuildColourGroup()
{
    colourGroup_ = new QGroupBox;
    colourGroup_->setObjectName(QStringLiteral("colourGroupBox"));
    windowColourButton_ = Button("windowColourButton", "窓の色");
    textColourButton_ = Button("textColourButton", "文字の色");
    connect(windowColourButton_, &QPushButton::clicked, this, [this] { PickColour(true); });
    connect(textColourButton_, &QPushButton::clicked, this, [this] { PickColour(false); });
    auto* layout = new QHBoxLayout(colourGroup_);
    layout->addWidget(windowColourButton_);
    layout->addWidget(textColourButton_);
    return colourGroup_;
}

QWidget* TSend_Set_Form::BuildServerPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ServerPage"));
    serverFolderBox_ = PathBox("serverFolderComboBox", &S::serverFolder);
    QPushButton* browse = Button("serverFolderBrowseButton", "参照");
    connect(browse, &QPushButton::clicked, this, &TSend_Set_Form::BrowseServerFolder);

    const struct {
        const char* caption;
        const char* name;
        settings::TextMember member;
    } words[] = {
        {"コール命令", "fileCallEdit", &S::fileCallCommand},
        {"セーブ命令", "fileSaveEdit", &S::fileSaveCommand},
        {"リスト命令", "fileListEdit", &S::fileListCommand},
        {"ログ取込命令", "logRequestEdit", &S::logRequestCommand},
        {"ファイル削除", "fileDeleteEdit", &S::fileDeleteCommand},
        {"ファイル名変更", "fileRenameEdit", &S::fileRenameCommand},
        {"区切", "renameSeparatorEdit", &S::fileRenameSeparator},
        {"メール命令", "mailCommandEdit", &S::mailCommand},
        {"区切Ⅰ", "handyOnEdit", &S::handyOnCommand},
        {"Ⅱ", "handyOffEdit", &S::handyOffCommand},
    };
    auto* commands = new QGroupBox;
    auto* grid = new QGridLayout(commands);
    int index = 0;
    for (const auto& word : words) {
        QLineEdit* edit = Edit(word.name, word.member);
        edit->setMaximumWidth(100);
        grid->addWidget(Label(word.caption), index / 2, (index % 2) * 2);
        grid->addWidget(edit, index / 2, (index % 2) * 2 + 1);
        ++index;
    }

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Label("検索・保存フォルダ"));
    layout->addWidget(Row({serverFolderBox_, browse}, false));
    layout->addWidget(commands);
    layout->addStretch(1);
    return page;
}

QGroupBox* TSend_Set_Form::BuildApplicationGroup(const char* caption, const char* name, session::ExternalKind kind,
                                                 settings::FlagMember enabled, settings::TextMember path)
{
    const QString base = QString::fromLatin1(name);
    QCheckBox* check = Check((base + "CheckBox").toLatin1().constData(), "有効", enabled);
    QComboBox* box = PathBox((base + "ComboBox").toLatin1().constData(), path);
    QPushButton* browse = Button((base + "BrowseButton").toLatin1().constData(), "参照");
    connect(browse, &QPushButton::clicked, this, [this, kind] { BrowseApplication(kind); });
    switch (kind) {
    case session::ExternalKind::Editor:
        editorCheck_ = check;
        editorBox_ = box;
        break;
    case session::ExternalKind::Viewer:
        viewerCheck_ = check;
        viewerBox_ = box;
        break;
    case session::ExternalKind::OtherApp:
        otherAppCheck_ = check;
        otherAppBox_ = box;
        break;
    }
    QGroupBox* group = Group(caption, {Row({check, box, browse}, false)});
    group->setObjectName(base + "GroupBox");
    return group;
}

QGroupBox* TSend_Set_Form::BuildMailGroup()
{
    const struct {
        const char* caption;
        const char* name;
        settings::TextMember member;
    } fields[] = {
        {"Host", "mailHostEdit", &S::mailHost},
        {"UserID", "mailIdEdit", &S::mailId},
        {"FromName", "mailSenderNameEdit", &S::mailSenderName},
        {"FromAddress", "mailSenderAddressEdit", &S::mailSenderAddress},
        {"ToAddress", "mailRecipientEdit", &S::mailRecipient},
        {"Port", "smtpPortEdit", &S::smtpPort},
        {"Subject", "mailSubjectEdit", &S::mailSubject},
    };
    auto* group = new QGroupBox(QStringLiteral(" メール設定 "));
    group->setObjectName(QStringLiteral("mailGroupBox"));
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const auto& field : fields) {
        grid->addWidget(Label(field.caption), row, 0);
        grid->addWidget(Edit(field.name, field.member), row, 1);
        ++row;
    }
    mailMessage_ = new QPlainTextEdit;
    mailMessage_->setObjectName(QStringLiteral("mailMessageEdit"));
    mailMessage_->setMaximumHeight(80);
    grid->addWidget(Label("Message"), row, 0, Qt::AlignTop);
    grid->addWidget(mailMessage_, row, 1);
    QPushButton* test = Button("mailTestButton", "テスト(&T)");
    connect(test, &QPushButton::clicked, this, &TSend_Set_Form::SendTestMail);
    grid->addWidget(test, row + 1, 1, Qt::AlignRight);
    return group;
}

QWidget* TSend_Set_Form::BuildApplicationsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ApplicationsPage"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(
        BuildApplicationGroup(" エディタ ", "editor", session::ExternalKind::Editor, &S::editorEnabled, &S::editor));
    layout->addWidget(
        BuildApplicationGroup(" VIEWER ", "viewer", session::ExternalKind::Viewer, &S::viewerEnabled, &S::viewer));
    layout->addWidget(BuildApplicationGroup(" その他のアプリケーション ", "otherApp", session::ExternalKind::OtherApp,
                                            &S::otherAppEnabled, &S::otherApp));
    layout->addWidget(BuildMailGroup());
    layout->addStretch(1);
    return page;
}

void TSend_Set_Form::ShowDialog()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    move(mainWindow_->frameGeometry().topLeft() + QPoint(5, 5));
    LoadControls();
    show();
    raise();
    activateWindow();
}

void TSend_Set_Form::LoadControls()
{
    loading_ = true;
    const settings::ListSettings lists = session_.LoadListSettings();
    grid_->SetPairs(lists.conversionPairs);
    ignoreCodeList_->clear();
    for (const std::string& code : lists.subprogramIgnoreCodes) {
        ignoreCodeList_->addItem(QString::fromStdString(code));
    }
    SetItems(serverFolderBox_, lists.folderHistory);
    SetItems(otherAppBox_, lists.otherAppHistory);
    SetItems(viewerBox_, lists.viewerHistory);
    SetItems(editorBox_, lists.editorHistory);

    bindings_.Fill(session_.Settings());
    // The second choice of each pair is the setting's "off".
    if (!dc1Radio_->isChecked()) {
        dc2Radio_->setChecked(true);
    }
    if (!dc3Radio_->isChecked()) {
        dc4Radio_->setChecked(true);
    }
    colourGroup_->setTitle(QStringLiteral(" ") + QString::fromStdString(session_.LineBoxes().port) +
                           QStringLiteral("窓・文字の色 "));
    ShowColourSamples();
    mailMessage_->setPlainText(QString::fromStdString(session_.LoadMailBody()));
    loading_ = false;
    UpdateDialogEnabling();
}

settings::ListSettings TSend_Set_Form::CollectLists() const
{
    settings::ListSettings lists;
    lists.conversionPairs = grid_->Pairs();
    for (int i = 0; i < ignoreCodeList_->count(); ++i) {
        lists.subprogramIgnoreCodes.push_back(ignoreCodeList_->item(i)->text().toStdString());
    }
    lists.folderHistory = Items(serverFolderBox_);
    lists.otherAppHistory = Items(otherAppBox_);
    lists.viewerHistory = Items(viewerBox_);
    lists.editorHistory = Items(editorBox_);
    return lists;
}

void TSend_Set_Form::ApplyDialogSettings()
{
    session_.ApplyDialogSettings(bindings_.Read(), CollectLists(), mailMessage_->toPlainText().toStdString());
}

void TSend_Set_Form::done(int result)
{
    // The button, Esc and the close box all end here, and all apply.
    if (isVisible()) {
        ApplyDialogSettings();
    }
    QDialog::done(result);
}

void TSend_Set_Form::UpdateDialogEnabling()
{
    settings::DialogChecks checks;
    checks.noConversionSend = noConversionSendCheck_->isChecked();
    checks.sendDelay = delayCheck_->isChecked();
    checks.blockSkip = blockSkipCheck_->isChecked();
    checks.commentStart = commentCheck_->isChecked();
    checks.ignoreStrings = ignoreStringsCheck_->isChecked();
    checks.convertOutput = convertCheck_->isChecked();
    checks.ignoreCodes = ignoreCodesCheck_->isChecked();
    checks.exitAfterSend = exitAfterSendCheck_->isChecked();
    checks.noConversionReceive = noConversionReceiveCheck_->isChecked();
    checks.exitAfterReceive = exitAfterReceiveCheck_->isChecked();
    checks.keepCommLog = commLogCheck_->isChecked();
    checks.editorPathSet = !editorBox_->currentText().isEmpty();
    checks.viewerPathSet = !viewerBox_->currentText().isEmpty();
    checks.otherAppPathSet = !otherAppBox_->currentText().isEmpty();
    const settings::DialogEnabling e = settings::ComputeDialogEnabling(checks);

    for (QCheckBox* check : percentChecks_) {
        check->setEnabled(e.sendConversion);
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{blockSkipCheck_, commentCheck_, ignoreStringsCheck_, twoByteCheck_,
                                         convertCheck_, ignoreCodesCheck_, sendEndOfBlock_}) {
        control->setEnabled(e.sendConversion);
    }
    delayEdit_->setEnabled(e.sendDelayMs);
    blockSkipEdit_->setEnabled(e.blockSkipCharacter);
    commentEdit_->setEnabled(e.commentStartCharacter);
    ignoreStringsEdit_->setEnabled(e.ignoreStringBoxes);
    ignoreSeparatorEdit_->setEnabled(e.ignoreStringBoxes);
    grid_->setEnabled(e.conversionTable);
    clearPairsButton_->setEnabled(e.conversionTable);
    ignoreCodeEdit_->setEnabled(e.ignoreCodeEntry);
    ignoreCodeList_->setEnabled(e.ignoreCodeList);
    for (QPushButton* button : ignoreCodeButtons_) {
        button->setEnabled(e.ignoreCodeList);
    }
    exitAfterSendEdit_->setEnabled(e.exitAfterSendSeconds);
    for (QWidget* control : receiveConversionControls_) {
        control->setEnabled(e.receiveConversion);
    }
    exitAfterReceiveEdit_->setEnabled(e.exitAfterReceiveSeconds);
    logSizeEdit_->setEnabled(e.logMaxSize);
    editorCheck_->setEnabled(e.editorEnabledBox);
    viewerCheck_->setEnabled(e.viewerEnabledBox);
    otherAppCheck_->setEnabled(e.otherAppEnabledBox);
}

void TSend_Set_Form::Exclude(settings::ExclusiveOption checked, QCheckBox* other)
{
    const auto message = settings::ExclusionMessage(checked, other->isChecked());
    if (!message) {
        return;
    }
    QMessageBox box(QMessageBox::Information, QString::fromStdString(session_.VersionText()), Utf8(*message),
                    QMessageBox::Ok, this);
    box.exec();
    other->setChecked(false);
}

bool TSend_Set_Form::Confirm(std::string_view question)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdString(session_.VersionText()), Utf8(question),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TSend_Set_Form::AddIgnoreCode()
{
    const QString code = AsciiUpper(ignoreCodeEdit_->text());
    if (code.isEmpty()) {
        return;
    }
    ignoreCodeList_->addItem(code);
    session_.DialogIgnoreCodesChanged();
}

void TSend_Set_Form::DeleteIgnoreCodes()
{
    const QList<QListWidgetItem*> selected = ignoreCodeList_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    qDeleteAll(selected);
    session_.DialogIgnoreCodesChanged();
}

void TSend_Set_Form::ClearIgnoreCodes()
{
    if (!Confirm(settings::msg::kClearIgnoreCodesQuestion)) {
        return;
    }
    ignoreCodeList_->clear();
    session_.DialogIgnoreCodesChanged();
}

void TSend_Set_Form::ClearConversionPairs()
{
    if (Confirm(settings::msg::kClearConversionQuestion)) {
        grid_->ClearPairs();
    }
}

void TSend_Set_Form::BrowseServerFolder()
{
    std::vector<std::string> history = Items(serverFolderBox_);
    if (const auto chosen = session_.BrowseServerFolder(history)) {
        SetItems(serverFolderBox_, history);
        serverFolderBox_->setEditText(QString::fromStdString(*chosen));
    }
}

void TSend_Set_Form::BrowseApplication(session::ExternalKind kind)
{
    QComboBox* box = kind == session::ExternalKind::Editor   ? editorBox_
                     : kind == session::ExternalKind::Viewer ? viewerBox_
                                                             : otherAppBox_;
    std::vector<std::string> history = Items(box);
    if (const auto chosen = session_.BrowseApplication(kind, history)) {
        SetItems(box, history);
        box->setEditText(QString::fromStdString(*chosen));
    }
}

void TSend_Set_Form::ShowColourSamples()
{
    const QPalette palette = QApplication::palette();
    const settings::SessionSettings& s = session_.Settings();
    const QColor window = SettingColour(s.windowColour, palette).value_or(palette.color(QPalette::Base));
    const QColor text = SettingColour(s.textColour, palette).value_or(palette.color(QPalette::Text));
    const QString style = QStringLiteral("background-color: %1; color: %2;");
    windowColourButton_->setStyleSheet(style.arg(window.name(), text.name()));
    textColourButton_->setStyleSheet(style.arg(window.name(), text.name()));
}

void TSend_Set_Form::PickColour(bool window)
{
    const settings::SessionSettings& s = session_.Settings();
    const QPalette palette = QApplication::palette();
    const QColor current = SettingColour(window ? s.windowColour : s.textColour, palette).value_or(QColor());
    const QColor chosen = QColorDialog::getColor(current, this, QString::fromStdString(session_.VersionText()));
    if (!chosen.isValid()) {
        return;
    }
    const std::string value =
        settings::FormatColourValue(static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                                    static_cast<std::uint8_t>(chosen.blue()));
    const std::string windowColour = window ? value : s.windowColour;
    const std::string textColour = window ? s.textColour : value;
    session_.SetPortColours(windowColour, textColour);
    ShowColourSamples();
}

void TSend_Set_Form::SendTestMail()
{
    ApplyDialogSettings();
    session_.SendTestMail();
}

} // namespace maroka::gui
