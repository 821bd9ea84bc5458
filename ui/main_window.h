// The operator window: every control at its designed place, the register
// panes, the holding-register list, the debug list and the status bar. The
// window is the operator options the engine and answer sending read, and
// the status-bar refresh they call.
//
// Wiring, once the other parts exist:
//   - AttachRegisters(engine.Registers()): the panes and the list show the
//     engine's tables;
//   - DebugTrace() is the TraceWriter to give every trace writer, so the
//     debug list sees each change;
//   - AttachStatusSource(...): the sockets and counters the status bar shows.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/ports.h"
#include "engine/register_tables.h"
#include "ui/register_pane.h"
#include "ui/status_source.h"
#include "ui/trace_model.h"

class QAction;
class QCheckBox;
class QFont;
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

// The one font of the window, sized in pixels so screen density moves no
// caption out of its control.
QFont WindowFont();

// Update interval of the holding-register list.
inline constexpr int kUpdateIntervalMs = 500;

class TarvikSlave_Main final : public QMainWindow, public OperatorOptions, public StatusRefresh {
    Q_OBJECT
public:
    explicit TarvikSlave_Main(TraceModel& trace, QWidget* parent = nullptr);
    ~TarvikSlave_Main() override;

    void AttachRegisters(RegisterTables& tables);
    void AttachStatusSource(const StatusSource& source);
    TraceWriter& DebugTrace();
    DebugListModel& DebugList();

    // Operator options, read from the controls at each call.
    bool ShowRawData() const override;
    bool ShowReads() const override;
    bool DontAnswer() const override;
    bool DelayAnswer() const override;
    std::string DelayText() const override;

    // Compare-and-write refresh of the status bar; does nothing until a
    // status source is attached.
    void RefreshStatusBar() override;
    int16_t LastSocketState() const { return lastSocketState_; }
    void SetLastSocketState(int16_t state) { lastSocketState_ = state; }

    // Paints the window's own background (the gaps between the controls) in
    // a BBGGRR colour; the controls, menu bar and status bar keep theirs.
    void SetBackColor(int32_t bbggrr);
    // The colour last set, or -1 while the window has its default colour.
    int32_t BackColor() const { return backColor_; }

    // Controls, by their names; the arrays are addressed by index and give
    // nullptr outside their range.
    QGroupBox* Frame(int index) const;
    QLabel* Label(int index) const;
    QCheckBox* Check_HoldingRegister(int index) const;
    QCheckBox* Check_InputRegister(int index) const;
    QScrollBar* VScroll_Holding() const { return vscrollHolding_; }
    QScrollBar* VScroll_Input() const { return vscrollInput_; }
    QListWidget* List_Holding() const { return listHolding_; }
    QListView* List_Debug() const { return listDebug_; }
    QCheckBox* Check_Delay() const { return checkDelay_; }
    QLineEdit* Text_Delay() const { return textDelay_; }
    QCheckBox* Check_Answer() const { return checkAnswer_; }
    QCheckBox* Check_ShowRaw() const { return checkShowRaw_; }
    QCheckBox* Check_ShowReads() const { return checkShowReads_; }
    StatusBarWidget* StatusBar() const { return statusBar_; }
    QMenu* Menu_File() const { return menuFile_; }
    QAction* Menu_File_ClearDebugList() const { return menuFileClearDebugList_; }
    QTimer& Timer_Update() { return timerUpdate_; }

    // Event handlers.
    void Form_Resize();
    void VScroll_Holding_Change();
    void VScroll_Input_Change();
    void Check_HoldingRegister_Click(int Index);
    void Check_InputRegister_Click(int Index);
    void Timer_Update_Timer();
    void Menu_File_ClearDebugList_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildPanes();
    void BuildHoldingList();
    void BuildOptions();
    void BuildDebugList();
    void FollowWriterSelection(int row);

    std::array<QGroupBox*, 3> frames_{};
    std::array<QLabel*, 9> labels_{};
    RegisterPane::BitBoxes holdingBoxes_{};
    RegisterPane::BitBoxes inputBoxes_{};
    QScrollBar* vscrollHolding_ = nullptr;
    QScrollBar* vscrollInput_ = nullptr;
    QListWidget* listHolding_ = nullptr;
    QListView* listDebug_ = nullptr;
    QCheckBox* checkDelay_ = nullptr;
    QLineEdit* textDelay_ = nullptr;
    QCheckBox* checkAnswer_ = nullptr;
    QCheckBox* checkShowRaw_ = nullptr;
    QCheckBox* checkShowReads_ = nullptr;
    StatusBarWidget* statusBar_ = nullptr;
    QMenu* menuFile_ = nullptr;
    QAction* menuFileClearDebugList_ = nullptr;
    QTimer timerUpdate_;

    DebugListModel* debugList_ = nullptr;
    std::optional<RegisterPane> holdingPane_;
    std::optional<RegisterPane> inputPane_;
    RegisterTables* tables_ = nullptr;
    const StatusSource* statusSource_ = nullptr;
    int16_t lastSocketState_ = -1;
    int32_t backColor_ = -1;
};

}  // namespace tarvik
