#include "gui/TMainForm.h"

#include "gui/DataFont.h"
#include "gui/MainWindowCommands.h"
#include "gui/PortComboBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace maroka::gui {

namespace {

std::vector<std::string> LocalFiles(const QMimeData* mime)
{
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    return paths;
}

// The buffer sizes offered: every size up to 10, then rounder ones.
QStringList BufferSizeItems()
{
    QStringList buffers;
    for (int i = 1; i <= 10; ++i) {
        buffers << QString::number(i);
    }
    for (int size :
         {15, 20, 25, 30, 40, 50, 60, 70, 80, 90, 100, 125, 150, 175, 200, 250, 300, 350, 400, 450, 500, 1000, 2000}) {
        buffers << QString::number(size);
    }
    return buffers;
}

QString MenuText(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TMainForm"));
    setAcceptDrops(true);
    BuildToolBar();
    BuildMenus();
    BuildPopupMenu();
    setCentralWidget(BuildCentralWidget());

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setToolTip(QStringLiteral("状態・メッセージ表示(show comment)"));
    status->setSizeGripEnabled(true);
    statusLabel_ = new QLabel(status);
    statusLabel_->setObjectName(QStringLiteral("StatusText"));
    statusLabel_->setTextFormat(Qt::PlainText);
    // Texts that start without a blank would otherwise touch the frame.
    statusLabel_->setIndent(4);
    status->addWidget(statusLabel_, 1);
    setStatusBar(status);

    // Function keys and Esc belong to the window whichever control has the
    // focus, so they are taken before any control of this window sees them.
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
}

void TMainForm::Attach(MainWindowCommands* commands)
{
    commands_ = commands;
}

void TMainForm::Command(void (MainWindowCommands::*command)())
{
    if (commands_ != nullptr) {
        (commands_->*command)();
    }
}

void TMainForm::BuildToolBar()
{
    struct Button {
        const char* name;
        const char* label;
        const char* hint;
        QStyle::StandardPixmap icon;
        void (MainWindowCommands::*command)();
        bool disabledWhileBusy;
    };
    const Button buttons[] = {
        {"OpenButton", "開く", "送信ファイル選択(F1)", QStyle::SP_DialogOpenButton,
         &MainWindowCommands::ChooseSendFiles, true},
        {"SendButton", "送信", "送信(F2)", QStyle::SP_ArrowRight, &MainWindowCommands::Send, true},
        {"D_SendButton", "無変換送信", "無変換（ダイレクト）送信(F3)", QStyle::SP_MediaSeekForward,
         &MainWindowCommands::DirectSend, true},
        {"ReceiveButton", "受信", "受信(F4)", QStyle::SP_ArrowLeft, &MainWindowCommands::Receive, true},
        {"ResetButton", "リセット", "ストップ・リセット(F5)", QStyle::SP_BrowserStop, &MainWindowCommands::Reset,
         false},
        {"ServerButton", "サーバー", "サーバー起動(F6)", QStyle::SP_MediaPlay, &MainWindowCommands::StartServer, true},
        {"CheckButton", "確認", "データをエディタで開く(F7)", QStyle::SP_FileDialogContentsView,
         &MainWindowCommands::CheckData, true},
        {"SettingButton", "設定", "設定(F8)", QStyle::SP_FileDialogDetailedView, &MainWindowCommands::OpenSettings,
         true},
        {"SetViewButton", "設定確認", "設定ファイル確認(F9)", QStyle::SP_FileDialogInfoView,
         &MainWindowCommands::ViewSettingsFile, false},
        {"HelpButton", "ヘルプ", "ヘルプ(F10)", QStyle::SP_DialogHelpButton, &MainWindowCommands::ShowHelp, false},
    };

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->toggleViewAction()->setVisible(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    toolBar->setIconSize(QSize(iconSize, iconSize));
    for (const Button& spec : buttons) {
        auto* button = new QToolButton(toolBar);
        button->setObjectName(QString::fromLatin1(spec.name));
        button->setText(QString::fromUtf8(spec.label));
        button->setToolTip(QString::fromUtf8(spec.hint));
        button->setIcon(style()->standardIcon(spec.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        const auto command = spec.command;
        connect(button, &QToolButton::clicked, this, [this, command] { Command(command); });
        toolBar->addWidget(button);
        if (spec.disabledWhileBusy) {
            busyButtons_.push_back(button);
        }
        if (std::string_view(spec.name) == "ResetButton" || std::string_view(spec.name) == "SettingButton") {
            toolBar->addSeparator();
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar);
}

void TMainForm::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    auto addAction = [this](QWidget* owner, const char* name, const QString& text, auto slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        owner->addAction(action);
        return action;
    };

    busyActions_.push_back(addAction(bar, "OpenMenuItem", QStringLiteral("開く(&O)"),
                                     [this] { Command(&MainWindowCommands::ChooseSendFiles); }));
    busyActions_.push_back(addAction(bar, "EditMenuItem", QStringLiteral("編集(&E)"),
                                     [this] { Command(&MainWindowCommands::OpenProgramListEditor); }));
    busyActions_.push_back(addAction(bar, "SettingsMenuItem", QStringLiteral("設定(&T)"),
                                     [this] { Command(&MainWindowCommands::OpenSettings); }));

    QMenu* check = bar->addMenu(QStringLiteral("確認(&A)"));
    check->setObjectName(QStringLiteral("CheckMenu"));
    check->menuAction()->setObjectName(QStringLiteral("CheckMenuItem"));

    sendDataMenu_ = check->addMenu(QStringLiteral("送信データ(&S)"));
    sendDataMenu_->setObjectName(QStringLiteral("SendDataMenu"));
    sendDataMenu_->menuAction()->setObjectName(QStringLiteral("SendDataMenuItem"));
    const struct {
        const char* name;
        const char* text;
        session::ExternalKind kind;
    } openers[] = {
        {"SendDataEditorItem", "エディタで開く(&E)", session::ExternalKind::Editor},
        {"SendDataViewerItem", "VIEWERで開く(&V)", session::ExternalKind::Viewer},
        {"SendDataOtherAppItem", "他のアプリで開く(&A)", session::ExternalKind::OtherApp},
    };
    for (const auto& opener : openers) {
        const session::ExternalKind kind = opener.kind;
        addAction(sendDataMenu_, opener.name, QString::fromUtf8(opener.text), [this, kind] {
            if (commands_ != nullptr) {
                commands_->OpenSendData(kind);
            }
        });
    }
    sendDataMenu_->menuAction()->setEnabled(false);

    receivedDataMenu_ = check->addMenu(QStringLiteral("受信データ(&R)"));
    receivedDataMenu_->setObjectName(QStringLiteral("ReceivedDataMenu"));
    receivedDataMenu_->menuAction()->setObjectName(QStringLiteral("ReceivedDataMenuItem"));
    receivedDataMenu_->menuAction()->setEnabled(false);

    addAction(check, "CommLogMenuItem", QStringLiteral("通信ログを開く(&L)"),
              [this] { Command(&MainWindowCommands::OpenCommLog); });
    addAction(check, "ErrorLogMenuItem", QStringLiteral("サーバーエラーログを開く(&E)"),
              [this] { Command(&MainWindowCommands::OpenErrorLog); });

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->menuAction()->setObjectName(QStringLiteral("HelpMenuItem"));
    addAction(help, "HelpTopicsMenuItem", QStringLiteral("トピックの検索(&H)"),
              [this] { Command(&MainWindowCommands::ShowHelp); });
    addAction(help, "AboutMenuItem", QStringLiteral("バージョン情報(&V)"),
              [this] { Command(&MainWindowCommands::ShowAbout); });
}

void TMainForm::BuildPopupMenu()
{
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const char* name, const QString& text, void (MainWindowCommands::*command)()) {
        QAction* action = popupMenu_->addAction(text, this, [this, command] { Command(command); });
        action->setObjectName(QString::fromLatin1(name));
    };
    add("PopupCommLogItem", QStringLiteral("通信ログを開く(&L)"), &MainWindowCommands::OpenCommLog);
    add("PopupClearCommLogItem", QStringLiteral("通信ログをクリアする(&C)"), &MainWindowCommands::ClearCommLog);
    add("PopupSaveSendFileItem", QStringLiteral("送信ファイル保存(&A)"), &MainWindowCommands::SaveSendFile);
    add("PopupClearFilesItem", QStringLiteral("送受信ファイルクリア(&X)"), &MainWindowCommands::ClearFiles);
    popupMenu_->addSeparator()->setObjectName(QStringLiteral("PopupSeparator"));
    add("PopupErrorLogItem", QStringLiteral("サーバーエラーログを開く(&E)"), &MainWindowCommands::OpenErrorLog);
    add("PopupDc2Item", QStringLiteral("DC2出力(&D)"), &MainWindowCommands::SendDc2);
}

QComboBox* TMainForm::AddLineBox(session::LineBox box, const char* objectName, const QStringList& items)
{
    QComboBox* combo = box == session::LineBox::Port ? new PortComboBox(this) : new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    connect(combo, &QComboBox::editTextChanged, this, [this, box](const QString& text) {
        if (commands_ != nullptr) {
            commands_->SetLineBox(box, text.toStdString());
        }
    });
    lineBoxes_.push_back(combo);
    return combo;
}

QWidget* TMainForm::BuildCentralWidget()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralPanel"));
    // The widgets are made in this order, which is their tab order.
    QGridLayout* boxes = BuildLineBoxes(central);
    const DataViewRows data = BuildDataView(central);
    BuildProgressDisplays(central);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(settingsFileLabel_);
    layout->addLayout(boxes);
    layout->addLayout(data.fileRow);
    layout->addLayout(data.dataRow, 1);
    layout->addWidget(progressBar_);
    layout->addWidget(remainingPanel_);
    return central;
}

QGridLayout* TMainForm::BuildLineBoxes(QWidget* central)
{
    settingsFileLabel_ = new QLabel(central);
    settingsFileLabel_->setObjectName(QStringLiteral("Label9"));
    settingsFileLabel_->setTextFormat(Qt::PlainText);

    auto* port = AddLineBox(session::LineBox::Port, "ComboBox1", {});
    portBox_ = static_cast<PortComboBox*>(port);
    port->setToolTip(QStringLiteral("使用ポート選択"));
    port->setMaxVisibleItems(32);
    port->setMinimumContentsLength(10);
    port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(portBox_, &PortComboBox::aboutToShowPopup, this, [this] {
        if (commands_ != nullptr) {
            commands_->PortDropDown();
        }
    });
    connect(port, &QComboBox::activated, this, [this, port](int index) {
        if (commands_ != nullptr && index >= 0) {
            commands_->PortChanged(port->itemText(index).toStdString());
        }
    });
    AddLineBox(session::LineBox::StopBits, "ComboBox2", {"1", "2"});
    AddLineBox(session::LineBox::BaudRate, "ComboBox3",
               {"75", "110", "150", "300", "600", "1200", "1800", "2400", "4800", "7200", "9600", "14400", "19200",
                "38400", "56000", "115200", "128000"});
    AddLineBox(session::LineBox::BufferSize, "ComboBox4", BufferSizeItems())
        ->setToolTip(QStringLiteral("送信時、一度に取り込むバッファのサイズ"));
    AddLineBox(session::LineBox::Code, "ComboBox5", {"ISO", "ASC"});
    AddLineBox(session::LineBox::Dc3, "ComboBox6", {"13H", "93H"});
    AddLineBox(session::LineBox::SendMode, "ComboBox7", {"MEM", "DNC"});

    auto* boxes = new QGridLayout;
    boxes->setHorizontalSpacing(6);
    boxes->setVerticalSpacing(2);
    const char* labels[] = {"port", "stopbits", "baudrate", "buffer", "code", "dc3", "mem/dnc"};
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(QString::fromLatin1(labels[i]), central);
        label->setObjectName(QStringLiteral("LineBoxLabel%1").arg(i + 1));
        label->setBuddy(lineBoxes_[static_cast<std::size_t>(i)]);
        boxes->addWidget(label, 0, i);
        boxes->addWidget(lineBoxes_[static_cast<std::size_t>(i)], 1, i);
        boxes->setColumnStretch(i, i == 0 ? 3 : 1);
    }
    // The other boxes hold a few characters; their width follows their
    // longest item, not the window.
    for (std::size_t i = 1; i < lineBoxes_.size(); ++i) {
        lineBoxes_[i]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    return boxes;
}

TMainForm::DataViewRows TMainForm::BuildDataView(QWidget* central)
{
    auto* fileLabel = new QLabel(QStringLiteral("current file"), central);
    fileLabel->setObjectName(QStringLiteral("FileNameLabel"));
    fileNameEdit_ = new QLineEdit(central);
    fileNameEdit_->setObjectName(QStringLiteral("Edit1"));
    fileNameEdit_->setReadOnly(true);
    fileNameEdit_->setToolTip(QStringLiteral("ファイル名表示(show file name)"));
    fileNameEdit_->setAcceptDrops(false);
    fileNameEdit_->setFocusPolicy(Qt::ClickFocus);
    fileLabel->setBuddy(fileNameEdit_);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(fileNameEdit_, 1);

    const QFont fixed = DataFont();
    dataView_ = new QPlainTextEdit(central);
    dataView_->setObjectName(QStringLiteral("Memo1"));
    dataView_->setReadOnly(true);
    dataView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    dataView_->setFont(fixed);
    dataView_->setAcceptDrops(false);
    dataView_->setFocusPolicy(Qt::ClickFocus);
    strip_ = new QPlainTextEdit(central);
    strip_->setObjectName(QStringLiteral("Memo2"));
    strip_->setReadOnly(true);
    strip_->setAcceptDrops(false);
    strip_->setFocusPolicy(Qt::NoFocus);
    strip_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip_->setTextInteractionFlags(Qt::NoTextInteraction);
    strip_->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) + 4);
    for (QPlainTextEdit* view : {dataView_, strip_}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { ShowPopupMenu(view->viewport()->mapToGlobal(pos)); });
    }
    fileNameEdit_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(fileNameEdit_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowPopupMenu(fileNameEdit_->mapToGlobal(pos)); });
    auto* dataRow = new QHBoxLayout;
    dataRow->setSpacing(0);
    dataRow->addWidget(strip_);
    dataRow->addWidget(dataView_, 1);
    return {fileRow, dataRow};
}

void TMainForm::BuildProgressDisplays(QWidget* central)
{
    progressBar_ = new QProgressBar(central);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);

    remainingPanel_ = new QFrame(central);
    remainingPanel_->setObjectName(QStringLiteral("Panel3"));
    static_cast<QFrame*>(remainingPanel_)->setFrameShape(QFrame::StyledPanel);
    auto* remainingCaption = new QLabel(QStringLiteral("推定残り加工時間"), remainingPanel_);
    remainingCaption->setObjectName(QStringLiteral("Label12"));
    remainingLabel_ = new QLabel(remainingPanel_);
    remainingLabel_->setObjectName(QStringLiteral("Label13"));
    auto* correctedCaption = new QLabel(QStringLiteral("補正後の残り時間"), remainingPanel_);
    correctedCaption->setObjectName(QStringLiteral("Label14"));
    correctedLabel_ = new QLabel(remainingPanel_);
    correctedLabel_->setObjectName(QStringLiteral("Label15"));
    auto* remainingLayout = new QGridLayout(remainingPanel_);
    remainingLayout->addWidget(remainingCaption, 0, 0);
    remainingLayout->addWidget(remainingLabel_, 1, 0);
    remainingLayout->addWidget(correctedCaption, 0, 1);
    remainingLayout->addWidget(correctedLabel_, 1, 1);
    remainingPanel_->hide();
}

bool TMainForm::HandleKey(int key)
{
    using C = MainWindowCommands;
    static constexpr std::pair<int, void (C::*)()> kKeys[] = {
        {Qt::Key_F1, &C::ChooseSendFiles}, {Qt::Key_F2, &C::Send},         {Qt::Key_F3, &C::DirectSend},
        {Qt::Key_F4, &C::Receive},         {Qt::Key_F5, &C::Reset},        {Qt::Key_F6, &C::StartServer},
        {Qt::Key_F7, &C::CheckData},       {Qt::Key_F8, &C::OpenSettings}, {Qt::Key_F9, &C::ViewSettingsFile},
        {Qt::Key_F10, &C::ShowHelp},
    };
    for (const auto& [code, command] : kKeys) {
        if (key == code) {
            Command(command);
            return true;
        }
    }
    if (key == Qt::Key_Escape) {
        if (commands_ != nullptr && commands_->ConfirmExit()) {
            CloseWithoutAsking();
        }
        return true;
    }
    return false;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return QMainWindow::eventFilter(watched, event);
    }
    const int code = key->key();
    const bool ours = (code >= Qt::Key_F1 && code <= Qt::Key_F10) || code == Qt::Key_Escape;
    if (!ours) {
        return QMainWindow::eventFilter(watched, event);
    }
    // A held key would start the same command over and over.
    if (!key->isAutoRepeat()) {
        HandleKey(code);
    }
    return true;
}

void TMainForm::CloseWithoutAsking()
{
    closeConfirmed_ = true;
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // The close box while a transfer runs asks as Esc does: a stray click
    // must not cut a drip feed.
    if (!closed_ && busy_ && !closeConfirmed_ && commands_ != nullptr && !commands_->ConfirmExit()) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        if (commands_ != nullptr) {
            commands_->Close();
        }
    }
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = LocalFiles(event->mimeData());
    if (paths.empty()) {
        return;
    }
    event->acceptProposedAction();
    if (commands_ != nullptr) {
        commands_->FilesDropped(paths);
    }
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPopupMenu(event->globalPos());
}

void TMainForm::ShowPopupMenu(const QPoint& globalPos)
{
    popupMenu_->popup(globalPos);
}

void TMainForm::ShowFileName(const QString& text)
{
    fileNameEdit_->setText(text);
    fileNameEdit_->setCursorPosition(0);
}

void TMainForm::ShowStatus(const QString& text)
{
    statusLabel_->setText(text);
}

QString TMainForm::StatusText() const
{
    return statusLabel_->text();
}

void TMainForm::AppendDataLine(const QString& line)
{
    dataView_->appendPlainText(line);
}

void TMainForm::ClearDataView()
{
    dataView_->clear();
}

void TMainForm::ShowProgressBar(bool visible)
{
    progressBar_->setVisible(visible);
}

void TMainForm::SetProgress(long long position, long long maximum)
{
    int percent = 0;
    if (maximum > 0 && position > 0) {
        // Scaled in floating point: byte counts of big files times 100 would
        // not fit an int, and position may pass maximum at the very end.
        percent = static_cast<int>(std::min<long double>(100.0L, static_cast<long double>(position) * 100.0L /
                                                                     static_cast<long double>(maximum)));
    }
    progressBar_->setValue(percent);
}

void TMainForm::ShowRemainingTime(bool visible, const QString& remaining, const QString& corrected)
{
    remainingLabel_->setText(remaining);
    correctedLabel_->setText(corrected);
    remainingPanel_->setVisible(visible);
}

void TMainForm::SetTitles(const QString& applicationTitle, const QString& caption)
{
    applicationTitle_ = applicationTitle;
    setWindowTitle(caption);
    // What a task bar shows for a minimised window.
    setWindowIconText(applicationTitle);
}

void TMainForm::ShowSettingsFileName(const QString& name)
{
    settingsFileLabel_->setText(name);
}

void TMainForm::ShowLineBoxes(const LineBoxTexts& boxes)
{
    const std::string* texts[] = {&boxes.port, &boxes.stopBits, &boxes.baudRate, &boxes.bufferSize,
                                  &boxes.code, &boxes.dc3,      &boxes.sendMode};
    for (std::size_t i = 0; i < lineBoxes_.size(); ++i) {
        // The session already holds these texts; echoing them back as edits
        // would only repeat them.
        const QSignalBlocker blocker(lineBoxes_[i]);
        const QString text = QString::fromStdString(*texts[i]);
        const int index = lineBoxes_[i]->findText(text);
        if (index >= 0) {
            lineBoxes_[i]->setCurrentIndex(index);
        } else {
            lineBoxes_[i]->setEditText(text);
        }
    }
}

void TMainForm::SetPortItems(const QStringList& items)
{
    const QSignalBlocker blocker(portBox_);
    const QString text = portBox_->currentText();
    portBox_->clear();
    portBox_->addItems(items);
    const int index = portBox_->findText(text);
    if (index >= 0) {
        portBox_->setCurrentIndex(index);
    } else {
        portBox_->setCurrentIndex(-1);
        portBox_->setEditText(text);
    }
}

void TMainForm::SetPortSelectorEnabled(bool enabled)
{
    portBox_->setEnabled(enabled);
}

void TMainForm::SetBusy(bool busy)
{
    busy_ = busy;
    for (QToolButton* button : busyButtons_) {
        button->setEnabled(!busy);
    }
    for (QAction* action : busyActions_) {
        action->setEnabled(!busy);
    }
    for (QComboBox* box : lineBoxes_) {
        box->setEnabled(!busy);
    }
}

void TMainForm::SetSendDataMenuEnabled(bool enabled)
{
    sendDataMenu_->menuAction()->setEnabled(enabled);
    emit SendDataMenuEnabledChanged(enabled);
}

void TMainForm::SetReceivedFiles(const QStringList& paths)
{
    receivedDataMenu_->clear();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // "&1 ", "&2 ", ...: the position is the item's access key.
        QAction* action = receivedDataMenu_->addAction(QStringLiteral("&%1 ").arg(i + 1) + MenuText(paths[i]));
        action->setObjectName(QStringLiteral("ReceivedFileItem%1").arg(i));
        const auto index = static_cast<std::size_t>(i);
        connect(action, &QAction::triggered, this, [this, index] {
            if (commands_ != nullptr) {
                commands_->OpenReceivedFile(index);
            }
        });
    }
    receivedDataMenu_->menuAction()->setEnabled(!paths.isEmpty());
}

void TMainForm::ApplyColours(const QColor& window, const QColor& text)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{fileNameEdit_, dataView_, strip_}) {
        QPalette palette = QApplication::palette(widget);
        if (window.isValid()) {
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                palette.setColor(group, QPalette::Base, window);
            }
        }
        if (text.isValid() && widget != strip_) {
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                palette.setColor(group, QPalette::Text, text);
            }
        }
        widget->setPalette(palette);
    }
}

void TMainForm::ApplyGeometry(const WindowGeometry& geometry, bool centre)
{
    // Sizes saved by the old program are far too small for this layout; the
    // window never opens smaller than its controls need.
    const QSize size = QSize(geometry.width, geometry.height).expandedTo(sizeHint());
    resize(size);
    const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (target == nullptr) {
        return;
    }
    const QRect available = target->availableGeometry();
    QRect frame(QPoint(geometry.left, geometry.top), size);
    // A position on a screen that is no longer there would hide the window.
    if (centre || !available.intersects(frame)) {
        frame.moveCenter(available.center());
        frame.moveTop(std::max(frame.top(), available.top()));
        frame.moveLeft(std::max(frame.left(), available.left()));
    }
    move(frame.topLeft());
}

QSize TMainForm::sizeHint() const
{
    const QFontMetrics data(dataView_->font());
    const QSize extra(data.horizontalAdvance(QString(72, u'0')) - dataView_->sizeHint().width(),
                      data.lineSpacing() * 18 - dataView_->sizeHint().height());
    return QMainWindow::sizeHint() + extra.expandedTo(QSize(0, 0));
}

WindowGeometry TMainForm::CurrentGeometry() const
{
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : QRect(pos(), size());
    return WindowGeometry{normal.left(), normal.top(), normal.width(), normal.height()};
}

} // namespace maroka::gui
