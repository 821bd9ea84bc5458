#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QScrollBar>

#include "slave/fixed_options.h"
#include "ui/debug_list_model.h"
#include "ui/debug_list_saving.h"
#include "ui/register_files.h"
#include "ui/status_bar_widget.h"
#include "ui/twips.h"
#include "ui/unit_box.h"
#include "ui/window_controls.h"

namespace tarvik {
namespace {

constexpr int kInnerWidthTwips = 7692;
constexpr int kInnerHeightTwips = 6108;
// Gap between the holding-register frame and the debug list below it.
constexpr int kDebugListGapTwips = 50;

constexpr std::array<const char*, 4> kGroupCaptions{"b15-b12", "b11-b8", "b7-b4", "b3-b0"};
constexpr std::array<int, 4> kGroupLeftTwips{180, 1260, 2340, 3420};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
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
    BuildDebugListView();

    statusBar_ = new StatusBarWidget(this);
    setStatusBar(statusBar_);

    resize(Px(kInnerWidthTwips), menuBar()->sizeHint().height() + Px(kInnerHeightTwips));

    // The debug list follows the inner area from the first layout on.
    inner->installEventFilter(this);

    connect(&holdingListTimer_, &QTimer::timeout, this, &MainWindow::RefreshHoldingList);
    holdingListTimer_.start(kUpdateIntervalMs);
}

MainWindow::~MainWindow() {
    // The children outlive this part of the window; no resize of theirs may
    // reach a half-destroyed handler.
    centralWidget()->removeEventFilter(this);
}

void MainWindow::BuildMenu() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("Menu_File"));
    // A popup is a window of its own and takes no font from its parent.
    fileMenu_->setFont(WindowFont());
    clearDebugListAction_ = fileMenu_->addAction(QStringLiteral("&Clear Debug List"));
    clearDebugListAction_->setObjectName(QStringLiteral("Menu_File_ClearDebugList"));
    connect(clearDebugListAction_, &QAction::triggered, this, &MainWindow::ClearDebugList);
    saveDebugListAction_ = fileMenu_->addAction(QStringLiteral("&Save Debug List..."));
    saveDebugListAction_->setObjectName(QStringLiteral("Menu_File_SaveDebugList"));
    connect(saveDebugListAction_, &QAction::triggered, this, &MainWindow::SaveDebugList);
    fileMenu_->addSeparator();
    saveRegistersAction_ = fileMenu_->addAction(QStringLiteral("Save &Registers..."));
    saveRegistersAction_->setObjectName(QStringLiteral("Menu_File_SaveRegisters"));
    connect(saveRegistersAction_, &QAction::triggered, this, &MainWindow::SaveRegisters);
    loadRegistersAction_ = fileMenu_->addAction(QStringLiteral("&Load Registers..."));
    loadRegistersAction_->setObjectName(QStringLiteral("Menu_File_LoadRegisters"));
    connect(loadRegistersAction_, &QAction::triggered, this, &MainWindow::LoadRegisters);

    // "&View", the last menu, there with or without points.
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("Menu_View"));
    view->setFont(WindowFont());
    valuesAction_ = view->addAction(QStringLiteral("&Values..."));
    valuesAction_->setObjectName(QStringLiteral("Menu_View_Values"));
}

void MainWindow::BuildPanes() {
    QWidget* inner = centralWidget();
    frames_[1] = Place(new QGroupBox(inner), "Frame(1)", TwipsRect(60, 60, 4995, 915));
    frames_[0] = Place(new QGroupBox(inner), "Frame(0)", TwipsRect(60, 1020, 4995, 915));

    inputScroll_ = MakeRegisterScroll(frames_[1], "VScroll_Input");
    holdingScroll_ = MakeRegisterScroll(frames_[0], "VScroll_Holding");
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

    holdingPane_.emplace(RegisterKind::Holding, *frames_[0], *holdingScroll_, holdingBoxes_);
    inputPane_.emplace(RegisterKind::Input, *frames_[1], *inputScroll_, inputBoxes_);
    holdingPane_->Change();
    inputPane_->Change();

    connect(holdingScroll_, &QScrollBar::valueChanged, this, &MainWindow::OnHoldingScroll);
    connect(inputScroll_, &QScrollBar::valueChanged, this, &MainWindow::OnInputScroll);
    // clicked() comes from the operator only; the program-set path runs the
    // handler itself (RegisterPane::Change).
    for (int i = 0; i < kBitsPerRegister; ++i) {
        connect(holdingBoxes_[static_cast<std::size_t>(i)], &QCheckBox::clicked, this,
                [this, i] { OnHoldingBitClicked(i); });
        connect(inputBoxes_[static_cast<std::size_t>(i)], &QCheckBox::clicked, this,
                [this, i] { OnInputBitClicked(i); });
    }
}

void MainWindow::BuildHoldingList() {
    frames_[2] = Place(
        new QGroupBox(QStringLiteral("Holding registers (Citect address 40xxx)"), centralWidget()),
        "Frame(2)", TwipsRect(72, 1944, 4980, 1416));
    holdingList_ =
        Place(new QListWidget(frames_[2]), "List_Holding", TwipsRect(180, 252, 4656, 1020));
    holdingList_->setUniformItemSizes(true);
}

void MainWindow::BuildOptions() {
    QWidget* inner = centralWidget();
    delayAnswerBox_ =
        MakeOption(inner, "Check_Delay", "Delay answer", false, TwipsRect(5160, 120, 2004, 216));
    delayTextBox_ = Place(new QLineEdit(QStringLiteral("200"), inner), "Text_Delay",
                          TwipsRect(5400, 396, 915, 285));
    labels_[8] = MakeLabel(inner, 8, "msec", TwipsRect(6444, 468, 876, 156));
    dontAnswerBox_ =
        MakeOption(inner, "Check_Answer", "Don't answer", false, TwipsRect(5148, 792, 1716, 216));
    showRawBox_ =
        MakeOption(inner, "Check_ShowRaw", "Show raw data", true, TwipsRect(5148, 1044, 1716, 216));
    showReadsBox_ =
        MakeOption(inner, "Check_ShowReads", "Show reads", true, TwipsRect(5148, 1296, 1716, 216));
    for (QCheckBox* box : {delayAnswerBox_, dontAnswerBox_}) {
        connect(box, &QCheckBox::toggled, this, [box](bool on) { ShowAsWarning(*box, on); });
    }
    for (QCheckBox* box : {delayAnswerBox_, dontAnswerBox_, showRawBox_, showReadsBox_}) {
        connect(box, &QCheckBox::toggled, this, &MainWindow::OptionsChanged);
    }
    connect(delayTextBox_, &QLineEdit::textChanged, this, &MainWindow::OptionsChanged);
}

void MainWindow::BuildDebugListView() {
    debugListView_ =
        Place(new QListView(centralWidget()), "List_Debug", TwipsRect(72, 3420, 4992, 2400));
    // Hex dumps line up in columns, and a column's place follows from its
    // number alone: the delegate draws only the columns in view.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kFontPixels);
    debugListView_->setFont(fixed);
    // Every row is one line high, so a layout asks the delegate for one size
    // instead of measuring every line.
    debugListView_->setUniformItemSizes(true);
    debugListView_->setTextElideMode(Qt::ElideNone);
    debugListView_->setSelectionMode(QAbstractItemView::SingleSelection);
    debugListView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void MainWindow::AttachTrace(TraceModel& trace) {
    debugList_ = new DebugListModel(trace, this);
    debugListView_->setModel(debugList_);
    debugListView_->setItemDelegate(new DebugLineDelegate(*debugList_, debugListView_));
    connect(debugList_, &DebugListModel::writerSelectionMoved, this,
            &MainWindow::FollowWriterSelection);
}

void MainWindow::DetachTrace() {
    if (debugList_ == nullptr) return;
    QAbstractItemDelegate* delegate = debugListView_->itemDelegate();
    debugListView_->setModel(nullptr);
    debugListView_->setItemDelegate(nullptr);
    delete delegate;
    delete debugList_;
    debugList_ = nullptr;
}

void MainWindow::AttachRegisters(RegisterTables& tables) {
    tables_ = &tables;
    holdingPane_->AttachTable(tables.HoldingRegisters);
    inputPane_->AttachTable(tables.InputRegisters);
}

void MainWindow::AttachUnits(UnitTables& units) {
    units_ = &units;
    AttachRegisters(units.First());
    // One unit or none: nothing to choose, and the window stays as it was.
    if (units.Served().count() < 2) return;
    unitBox_ = MakeUnitBox(centralWidget(), units.Served());
    connect(unitBox_, &QComboBox::currentIndexChanged, this, &MainWindow::OnUnitChosen);
}

void MainWindow::OnUnitChosen() {
    RegisterTables* chosen = units_->Of(unitBox_->currentData().toInt());
    if (chosen == nullptr) return;
    AttachRegisters(*chosen);
    ShowRegistersAgain();
}

StatusPanels& MainWindow::Panels() { return *statusBar_; }

void MainWindow::ShowSocketError(const QString& text) { statusBar_->ShowSocketError(text); }

OperatorOptions MainWindow::Options() const {
    OperatorOptions options;
    options.showRawData = showRawBox_->isChecked();
    options.showReads = showReadsBox_->isChecked();
    options.dontAnswer = dontAnswerBox_->isChecked();
    options.delayAnswer = delayAnswerBox_->isChecked();
    options.delayMs = DelayMsOf(delayTextBox_->text().toStdString());
    return options;
}

void MainWindow::SetBackColor(int32_t bbggrr) {
    // The colour is offered every tick; repaint only on change.
    if (bbggrr == backColor_) return;
    backColor_ = bbggrr;
    QWidget* inner = centralWidget();
    QPalette palette = inner->palette();
    palette.setColor(QPalette::Window,
                     QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, (bbggrr >> 16) & 0xFF));
    inner->setPalette(palette);
}

QLabel* MainWindow::Label(int index) const {
    return index >= 0 && index < static_cast<int>(labels_.size())
               ? labels_[static_cast<std::size_t>(index)]
               : nullptr;
}

QCheckBox* MainWindow::HoldingBitBox(int index) const {
    return index >= 0 && index < kBitsPerRegister ? holdingBoxes_[static_cast<std::size_t>(index)]
                                                  : nullptr;
}

QCheckBox* MainWindow::InputBitBox(int index) const {
    return index >= 0 && index < kBitsPerRegister ? inputBoxes_[static_cast<std::size_t>(index)]
                                                  : nullptr;
}

void MainWindow::LayOutDebugList() {
    const QWidget* inner = centralWidget();
    const int statusHeight = statusBar_->isHidden() ? 0 : statusBar_->height();
    const int scaleWidth = inner->width();
    const int scaleHeight = inner->height() + statusHeight;

    const QRect below = frames_[2]->geometry();
    const int top = below.y() + below.height() + Px(kDebugListGapTwips);
    int height = scaleHeight - statusHeight - top;
    // Too small or minimised: the list keeps the height it had.
    if (height < 0) height = debugListView_->height();
    debugListView_->setGeometry(debugListView_->x(), top, scaleWidth, height);
}

void MainWindow::OnHoldingScroll() { holdingPane_->Change(); }

void MainWindow::OnInputScroll() { inputPane_->Change(); }

void MainWindow::OnHoldingBitClicked(int index) { holdingPane_->Click(index); }

void MainWindow::OnInputBitClicked(int index) { inputPane_->Click(index); }

void MainWindow::RefreshHoldingList() {
    if (tables_ == nullptr) return;
    const RegisterTable& holding = tables_->HoldingRegisters;
    if (holdingList_->count() == 0) {
        for (int k = 1; k <= kListedHoldingRegisters; ++k) {
            holdingList_->addItem(
                QString::fromStdString(HoldingListLine(k, holding[static_cast<std::size_t>(k)])));
        }
        return;
    }
    // Only lines whose text changed are written: no flicker, and the
    // operator's scroll position and selection stay.
    for (int k = 1; k <= kListedHoldingRegisters && k <= holdingList_->count(); ++k) {
        const QString line =
            QString::fromStdString(HoldingListLine(k, holding[static_cast<std::size_t>(k)]));
        QListWidgetItem* item = holdingList_->item(k - 1);
        if (item->text() != line) item->setText(line);
    }
}

void MainWindow::ClearDebugList() {
    if (debugList_ != nullptr) debugList_->Clear();
}

void MainWindow::SaveDebugList() {
    if (debugList_ != nullptr) AskAndSaveDebugList(this, *debugList_);
}

void MainWindow::SaveRegisters() {
    if (units_ != nullptr) {
        AskAndSaveRegisters(this, *units_);
    } else if (tables_ != nullptr) {
        AskAndSaveRegisters(this, *tables_);
    }
}

void MainWindow::LoadRegisters() {
    const bool loaded = units_ != nullptr    ? AskAndLoadRegisters(this, *units_)
                        : tables_ != nullptr ? AskAndLoadRegisters(this, *tables_)
                                             : false;
    if (loaded) ShowRegistersAgain();
}

void MainWindow::ShowRegistersAgain() {
    holdingPane_->Change();
    inputPane_->Change();
    RefreshHoldingList();
}

void MainWindow::FollowWriterSelection(int row) {
    const QModelIndex index = debugList_->index(row, 0);
    if (!index.isValid()) return;
    debugListView_->setCurrentIndex(index);
    debugListView_->scrollTo(index);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) LayOutDebugList();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarvik
