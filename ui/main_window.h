// The operator window: every control at its designed place, the register
// panes, the holding-register list, the debug list and the status bar. Its
// option controls make the operator options the core is given, and its
// status bar the panels the core writes; it shows what it is attached to:
//   - AttachTrace(core.Trace()): the debug list shows the trace;
//   - AttachUnits(core.Units()): the panes and the list show the tables of
//     the unit chosen in the Unit box (made only with more than one unit
//     served), the File menu saves and loads every unit's;
//   - AttachRegisters(tables): the panes and the list show one pair.
// View > Values... is for the face to answer.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/operator_options.h"
#include "engine/register_tables.h"
#include "engine/unit_tables.h"
#include "slave/status_panels.h"
#include "trace/trace_model.h"
#include "ui/register_pane.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QScrollBar;

namespace tarvik {

class DebugListModel;
class StatusBarWidget;

// Update interval of the holding-register list.
inline constexpr int kUpdateIntervalMs = 500;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void AttachTrace(TraceModel& trace);
    // Lets go of the trace, before it goes.
    void DetachTrace();
    void AttachRegisters(RegisterTables& tables);
    // Once, before the window is shown.
    void AttachUnits(UnitTables& units);
    // The status bar, as the core writes it.
    StatusPanels& Panels();
    // Nullptr until a trace is attached.
    DebugListModel* DebugList() const { return debugList_; }

    // The operator options the controls show now (the delay text read as
    // milliseconds); OptionsChanged is raised whenever one changes.
    OperatorOptions Options() const;

    // Shows the latest socket trouble where the operator can find it.
    void ShowSocketError(const QString& text);

    // Paints the window's own background (the gaps between the controls) in
    // a BBGGRR colour; the controls, menu bar and status bar keep theirs.
    void SetBackColor(int32_t bbggrr);
    // The colour last set, or -1 while the window has its default colour.
    int32_t BackColor() const { return backColor_; }

    // The two register panes and the frame of the holding-register list.
    QGroupBox* HoldingPane() const { return frames_[0]; }
    QGroupBox* InputPane() const { return frames_[1]; }
    QGroupBox* HoldingListFrame() const { return frames_[2]; }
    // Labels 0..8 (the bit-group captions and "msec"); nullptr outside.
    QLabel* Label(int index) const;
    // Bit boxes of each pane, box i showing bit i (0..15); nullptr outside.
    QCheckBox* HoldingBitBox(int index) const;
    QCheckBox* InputBitBox(int index) const;
    QScrollBar* HoldingScroll() const { return holdingScroll_; }
    QScrollBar* InputScroll() const { return inputScroll_; }
    QListWidget* HoldingList() const { return holdingList_; }
    QListView* DebugListView() const { return debugListView_; }
    QCheckBox* DelayAnswerBox() const { return delayAnswerBox_; }
    QLineEdit* DelayTextBox() const { return delayTextBox_; }
    QCheckBox* DontAnswerBox() const { return dontAnswerBox_; }
    QCheckBox* ShowRawBox() const { return showRawBox_; }
    QCheckBox* ShowReadsBox() const { return showReadsBox_; }
    // "Unit" and its label; nullptr unless more than one unit is served.
    QComboBox* UnitBox() const { return unitBox_; }
    StatusBarWidget* StatusBar() const { return statusBar_; }
    QMenu* FileMenu() const { return fileMenu_; }
    QAction* ClearDebugListAction() const { return clearDebugListAction_; }
    QAction* SaveDebugListAction() const { return saveDebugListAction_; }
    QAction* SaveRegistersAction() const { return saveRegistersAction_; }
    QAction* LoadRegistersAction() const { return loadRegistersAction_; }
    QAction* ValuesAction() const { return valuesAction_; }

    // Handlers.
    void LayOutDebugList();  // the inner area was resized
    void OnHoldingScroll();  // a holding register was selected
    void OnInputScroll();    // an input register was selected
    void OnHoldingBitClicked(int index);
    void OnInputBitClicked(int index);
    void RefreshHoldingList();  // every 500 ms
    void ClearDebugList();      // "&Clear Debug List"
    void SaveDebugList();       // "&Save Debug List..."
    void SaveRegisters();       // "Save &Registers..."
    void LoadRegisters();       // "&Load Registers..."
    void OnUnitChosen();        // another unit in the Unit box
    // The tables changed behind the panes' back (a load): show them again.
    void ShowRegistersAgain();

signals:
    void OptionsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildPanes();
    void BuildHoldingList();
    void BuildOptions();
    void BuildDebugListView();
    void FollowWriterSelection(int row);

    std::array<QGroupBox*, 3> frames_{};
    std::array<QLabel*, 9> labels_{};
    RegisterPane::BitBoxes holdingBoxes_{};
    RegisterPane::BitBoxes inputBoxes_{};
    QScrollBar* holdingScroll_ = nullptr;
    QScrollBar* inputScroll_ = nullptr;
    QListWidget* holdingList_ = nullptr;
    QListView* debugListView_ = nullptr;
    QCheckBox* delayAnswerBox_ = nullptr;
    QLineEdit* delayTextBox_ = nullptr;
    QCheckBox* dontAnswerBox_ = nullptr;
    QCheckBox* showRawBox_ = nullptr;
    QCheckBox* showReadsBox_ = nullptr;
    QComboBox* unitBox_ = nullptr;
    StatusBarWidget* statusBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* clearDebugListAction_ = nullptr;
    QAction* saveDebugListAction_ = nullptr;
    QAction* saveRegistersAction_ = nullptr;
    QAction* loadRegistersAction_ = nullptr;
    QAction* valuesAction_ = nullptr;
    QTimer holdingListTimer_;

    DebugListModel* debugList_ = nullptr;
    std::optional<RegisterPane> holdingPane_;
    std::optional<RegisterPane> inputPane_;
    RegisterTables* tables_ = nullptr;  // the pair shown
    UnitTables* units_ = nullptr;
    int32_t backColor_ = -1;
};

}  // namespace tarvik
