#include "ui/main_window.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>

#include "ui/debug_list_model.h"
#include "ui/status_bar_logic.h"
#include "ui/status_bar_widget.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

constexpr int kFontPixels = 9;
constexpr int kInnerWidthTwips = 7692;
constexpr int kInnerHeightTwips = 6108;
// Gap between the holding-register frame and the debug list below it.
constexpr int kDebugListGapTwips = 50;
constexpr int kPaneLastRegister = 511;

constexpr std::array<const char*, 4> kGroupCaptions{"b15-b12", "b11-b8", "b7-b4", "b3-b0"};
constexpr std::array<int, 4> kGroupLeftTwips{180, 1260, 2340, 3420};

// Controls fill their own rectangles in the default colours, so the
// connection colour set on the window shows only in the gaps between them.
void KeepOwnBackground(QWidget& widget) {
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto role : {QPalette::Window, QPalette::Base}) {
            // Setting a role marks it as the widget's own, so the window's
            // colour does not flow into it.
            palette.setColor(group, role, palette.color(group, role));
        }
    }
    widget.setPalette(palette);
}

template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect twipsPlace) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsPlace);
    KeepOwnBackground(*widget);
    return widget;
}

QString Indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(name)).arg(index);
}

QLabel* MakeLabel(QWidget* parent, int index, const char* text, QRect place) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(Indexed("Label", index));
    label->setGeometry(place);
    KeepOwnBackground(*label);
    return label;
}

QCheckBox* MakeOption(QWidget* parent, const char* name, const char* caption, bool checked,
                      QRect place) {
    auto* box = Place(new QCheckBox(QString::fromLatin1(caption), parent), name, place);
    box->setChecked(checked);
    return box;
}

QScrollBar* MakeRegisterScroll(QWidget* frame, const char* name) {
    auto* scroll =
        Place(new QScrollBar(Qt::Vertical, frame), name, TwipsRect(4680, 120, 255, 735));
    scroll->setRange(0, kPaneLastRegister);
    scroll->setSingleStep(1);
    scroll->setPageStep(1);
    // A selection changes when the thumb is released, not while it moves.
    scroll->setTracking(false);
    return scroll;
}

RegisterPane::BitBoxes MakeBitBoxes(QWidget* frame, const char* name) {
    RegisterPane::BitBoxes boxes{};
    for (int i = 0; i < kBitsPerRegister; ++i) {
        auto* box = new QCheckBox(frame);
        box->setObjectName(Indexed(name, i));
        box->setGeometry(TwipsRect(BitBoxLeftTwips(i), 570, 195, 195));
        KeepOwnBackground(*box);
        boxes[static_cast<std::size_t>(i)] = box;
    }
    return boxes;
}

QIcon MakeWindowIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0, 0, 128));
    QPainter painter(&pixmap);
    painter.setPen(Qt::white);
    QFont font = WindowFont();
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("T"));
    return QIcon(pixmap);
}

}  // namespace

QFont WindowFont() {
    QFont font;
    font.setPixelSize(kFontPixels);
    return font;
}

TarvikSlave_Main::TarvikSlave_Main(TraceModel& trace, QWidget* parent)
    : QMainWindow(parent), debugList_(new DebugListModel(trace, this)) {
    setObjectName(QStringLiteral("TarvikSlave_Main"));
    setWindowTitle(QStringLiteral("Tarvik Slave Emulator"));
    setWindowIcon(MakeWindowIcon());
    setFont(WindowFont());

    auto* inner = new QWidget(this);
    inner->setObjectName(QStringLiteral("Form"));
    inner->setAutoFillBackground(true);
    setCentralWidget(inner);

    BuildMenu();
    BuildPanes();
    BuildHoldingList();
    BuildOptions();
    BuildDebugList();

    statusBar_ = new StatusBarWidget(this);
    setStatusBar(statusBar_);

    resize(Px(kInnerWidthTwips), menuBar()->sizeHint().height() + Px(kInnerHeightTwips));

    // The debug list follows the inner area from the first layout on.
    inner->installEventFilter(this);

    connect(&timerUpdate_, &QTimer::timeout, this, &TarvikSlave_Main::Timer_Update_Timer);
    timerUpdate_.start(kUpdateIntervalMs);
}

TarvikSlave_Main::~TarvikSlave_Main() {
    // The children outlive this part of the window; no resize of theirs may
    // reach a half-destroyed handler.
    centralWidget()->removeEventFilter(this);
}

void TarvikSlave_Main::BuildMenu() {
    menuFile_ = menuBar()->addMenu(QStringLiteral("&File"));
    menuFile_->setObjectName(QStringLiteral("Menu_File"));
    // A popup is a window of its own and takes no font from its parent.
    menuFile_->setFont(WindowFont());
    menuFileClearDebugList_ = menuFile_->addAction(QStringLiteral("&Clear Debug List"));
    menuFileClearDebugList_->setObjectName(QStringLiteral("Menu_File_ClearDebugList"));
    connect(menuFileClearDebugList_, &QAction::triggered, this,
            &TarvikSlave_Main::Menu_File_ClearDebugList_Click);
}

void TarvikSlave_Main::BuildPanes() {
    QWidget* inner = centralWidget();
    frames_[1] = Place(new QGroupBox(inner), "Frame(1)", TwipsRect(60, 60, 4995, 915));
    frames_[0] = Place(new QGroupBox(inner), "Frame(0)", TwipsRect(60, 1020, 4995, 915));

    vscrollInput_ = MakeRegisterScroll(frames_[1], "VScroll_Input");
    vscrollHolding_ = MakeRegisterScroll(frames_[0], "VScroll_Holding");
    inputBoxes_ = MakeBitBoxes(frames_[1], "Check_InputRegister");
    holdingBoxes_ = MakeBitBoxes(frames_[0], "Check_HoldingRegister");

    // Group labels left to right: Label(3)..Label(0) above the holding
    // boxes, Label(4)..Label(7) above the input boxes.
    for (int g = 0; g < 4; ++g) {
        const QRect place = TwipsRect(kGroupLeftTwips[static_cast<std::size_t>(g)], 330, 915, 195);
        const char* caption = kGroupCaptions[static_cast<std::size_t>(g)];
        labels_[static_cast<std::size_t>(3 - g)] = MakeLabel(frames_[0], 3 - g, caption, place);
        labels_[static_cast<std::size_t>(4 + g)] = MakeLabel(frames_[1], 4 + g, caption, place);
    }

    holdingPane_.emplace(RegisterKind::Holding, *frames_[0], *vscrollHolding_, holdingBoxes_);
    inputPane_.emplace(RegisterKind::Input, *frames_[1], *vscrollInput_, inputBoxes_);
    holdingPane_->Change();
    inputPane_->Change();

    connect(vscrollHolding_, &QScrollBar::valueChanged, this,
            &TarvikSlave_Main::VScroll_Holding_Change);
    connect(vscrollInput_, &QScrollBar::valueChanged, this,
            &TarvikSlave_Main::VScroll_Input_Change);
    // clicked() comes from the operator only; the program-set path runs the
    // handler itself (RegisterPane::Change).
    for (int i = 0; i < kBitsPerRegister; ++i) {
        connect(holdingBoxes_[static_cast<std::size_t>(i)], &QCheckBox::clicked, this,
                [this, i] { Check_HoldingRegister_Click(i); });
        connect(inputBoxes_[static_cast<std::size_t>(i)], &QCheckBox::clicked, this,
                [this, i] { Check_InputRegister_Click(i); });
    }
}

void TarvikSlave_Main::BuildHoldingList() {
    frames_[2] = Place(new QGroupBox(QStringLiteral("Holding registers (Citect address 40xxx)"),
                                     centralWidget()),
                       "Frame(2)", TwipsRect(72, 1944, 4980, 1416));
    listHolding_ =
        Place(new QListWidget(frames_[2]), "List_Holding", TwipsRect(180, 252, 4656, 1020));
    listHolding_->setUniformItemSizes(true);
}

void TarvikSlave_Main::BuildOptions() {
    QWidget* inner = centralWidget();
    checkDelay_ =
        MakeOption(inner, "Check_Delay", "Delay answer", false, TwipsRect(5160, 120, 2004, 216));
    textDelay_ = Place(new QLineEdit(QStringLiteral("200"), inner), "Text_Delay",
                       TwipsRect(5400, 396, 915, 285));
    labels_[8] = MakeLabel(inner, 8, "msec", TwipsRect(6444, 468, 876, 156));
    checkAnswer_ =
        MakeOption(inner, "Check_Answer", "Don't answer", false, TwipsRect(5148, 792, 1716, 216));
    checkShowRaw_ = MakeOption(inner, "Check_ShowRaw", "Show raw data", true,
                               TwipsRect(5148, 1044, 1716, 216));
    checkShowReads_ =
        MakeOption(inner, "Check_ShowReads", "Show reads", true, TwipsRect(5148, 1296, 1716, 216));
}

void TarvikSlave_Main::BuildDebugList() {
    listDebug_ =
        Place(new QListView(centralWidget()), "List_Debug", TwipsRect(72, 3420, 4992, 2400));
    listDebug_->setModel(debugList_);
    // Hex dumps line up in columns, and a column's place follows from its
    // number alone: the delegate draws only the columns in view.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kFontPixels);
    listDebug_->setFont(fixed);
    listDebug_->setItemDelegate(new DebugLineDelegate(*debugList_, listDebug_));
    // Every row is one line high, so a layout asks the delegate for one size
    // instead of measuring every line.
    listDebug_->setUniformItemSizes(true);
    listDebug_->setTextElideMode(Qt::ElideNone);
    listDebug_->setSelectionMode(QAbstractItemView::SingleSelection);
    listDebug_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(debugList_, &DebugListModel::writerSelectionMoved, this,
            &TarvikSlave_Main::FollowWriterSelection);
}

void TarvikSlave_Main::AttachRegisters(RegisterTables& tables) {
    tables_ = &tables;
    holdingPane_->AttachTable(tables.HoldingRegisters);
    inputPane_->AttachTable(tables.InputRegisters);
}

void TarvikSlave_Main::AttachStatusSource(const StatusSource& source) {
    statusSource_ = &source;
}

TraceWriter& TarvikSlave_Main::DebugTrace() { return *debugList_; }

DebugListModel& TarvikSlave_Main::DebugList() { return *debugList_; }

bool TarvikSlave_Main::ShowRawData() const { return checkShowRaw_->isChecked(); }
bool TarvikSlave_Main::ShowReads() const { return checkShowReads_->isChecked(); }
bool TarvikSlave_Main::DontAnswer() const { return checkAnswer_->isChecked(); }
bool TarvikSlave_Main::DelayAnswer() const { return checkDelay_->isChecked(); }
std::string TarvikSlave_Main::DelayText() const { return textDelay_->text().toStdString(); }

void TarvikSlave_Main::RefreshStatusBar() {
    if (statusSource_ == nullptr) return;
    tarvik::RefreshStatusBar(*statusBar_, *statusSource_, lastSocketState_);
}

void TarvikSlave_Main::SetBackColor(int32_t bbggrr) {
    // The connection manager sets the colour every tick; repaint only on change.
    if (bbggrr == backColor_) return;
    backColor_ = bbggrr;
    QWidget* inner = centralWidget();
    QPalette palette = inner->palette();
    palette.setColor(QPalette::Window,
                     QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, (bbggrr >> 16) & 0xFF));
    inner->setPalette(palette);
}

QGroupBox* TarvikSlave_Main::Frame(int index) const {
    return index >= 0 && index < static_cast<int>(frames_.size())
               ? frames_[static_cast<std::size_t>(index)]
               : nullptr;
}

QLabel* TarvikSlave_Main::Label(int index) const {
    return index >= 0 && index < static_cast<int>(labels_.size())
               ? labels_[static_cast<std::size_t>(index)]
               : nullptr;
}

QCheckBox* TarvikSlave_Main::Check_HoldingRegister(int index) const {
    return index >= 0 && index < kBitsPerRegister ? holdingBoxes_[static_cast<std::size_t>(index)]
                                                  : nullptr;
}

QCheckBox* TarvikSlave_Main::Check_InputRegister(int index) const {
    return index >= 0 && index < kBitsPerRegister ? inputBoxes_[static_cast<std::size_t>(index)]
                                                  : nullptr;
}

void TarvikSlave_Main::Form_Resize() {
    const QWidget* inner = centralWidget();
    const int statusHeight = statusBar_->isHidden() ? 0 : statusBar_->height();
    const int scaleWidth = inner->width();
    const int scaleHeight = inner->height() + statusHeight;

    const QRect below = frames_[2]->geometry();
    const int top = below.y() + below.height() + Px(kDebugListGapTwips);
    int height = scaleHeight - statusHeight - top;
    // Too small or minimised: the list keeps the height it had.
    if (height < 0) height = listDebug_->height();
    listDebug_->setGeometry(listDebug_->x(), top, scaleWidth, height);
}

void TarvikSlave_Main::VScroll_Holding_Change() { holdingPane_->Change(); }

void TarvikSlave_Main::VScroll_Input_Change() { inputPane_->Change(); }

void TarvikSlave_Main::Check_HoldingRegister_Click(int Index) { holdingPane_->Click(Index); }

void TarvikSlave_Main::Check_InputRegister_Click(int Index) { inputPane_->Click(Index); }

void TarvikSlave_Main::Timer_Update_Timer() {
    if (tables_ == nullptr) return;
    const RegisterTable& holding = tables_->HoldingRegisters;
    if (listHolding_->count() == 0) {
        for (int k = 1; k <= kListedHoldingRegisters; ++k) {
            listHolding_->addItem(QString::fromStdString(
                HoldingListLine(k, holding[static_cast<std::size_t>(k)])));
        }
        return;
    }
    // Only lines whose text changed are written: no flicker, and the
    // operator's scroll position and selection stay.
    for (int k = 1; k <= kListedHoldingRegisters && k <= listHolding_->count(); ++k) {
        const QString line =
            QString::fromStdString(HoldingListLine(k, holding[static_cast<std::size_t>(k)]));
        QListWidgetItem* item = listHolding_->item(k - 1);
        if (item->text() != line) item->setText(line);
    }
}

void TarvikSlave_Main::Menu_File_ClearDebugList_Click() { debugList_->Clear(); }

void TarvikSlave_Main::FollowWriterSelection(int row) {
    const QModelIndex index = debugList_->index(row, 0);
    if (!index.isValid()) return;
    listDebug_->setCurrentIndex(index);
    listDebug_->scrollTo(index);
}

bool TarvikSlave_Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarvik
