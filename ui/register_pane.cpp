#include "ui/register_pane.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QScrollBar>

namespace tarvik {

RegisterPane::RegisterPane(RegisterKind kind, QGroupBox& frame, QScrollBar& scroll,
                           const BitBoxes& boxes)
    : kind_(kind), frame_(frame), scroll_(scroll), boxes_(boxes) {}

void RegisterPane::AttachTable(RegisterTable& table) {
    table_ = &table;
    Change();
}

int32_t* RegisterPane::SelectedEntry() const {
    const int n = scroll_.value();
    if (table_ == nullptr || n < 0 || n >= kRegisterCount) return nullptr;
    return &(*table_)[static_cast<std::size_t>(n)];
}

void RegisterPane::Change() {
    frame_.setTitle(QString::fromStdString(PaneCaption(kind_, scroll_.value())));
    for (int i = 0; i < kBitsPerRegister; ++i) {
        const int32_t* entry = SelectedEntry();
        if (entry == nullptr) return;
        const bool set = (*entry & (1 << i)) > 0;
        QCheckBox& box = *boxes_[static_cast<std::size_t>(i)];
        // setChecked does not emit clicked(), so the click handler is run
        // here, and only for a box whose value really changed.
        if (box.isChecked() != set) {
            box.setChecked(set);
            Click(i);
        }
    }
}

void RegisterPane::Click(int index) {
    if (index < 0 || index >= kBitsPerRegister) return;
    int32_t* entry = SelectedEntry();
    if (entry == nullptr) return;
    const bool set = boxes_[static_cast<std::size_t>(index)]->isChecked();
    *entry = set ? WithBitSet(*entry, index) : WithBitCleared(*entry, index);
}

}  // namespace tarvik
