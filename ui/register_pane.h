// One register pane: a scroll bar selects a register (0..511) and 16 bit
// boxes show and change its bits. The scroll bar is the only record of the
// selection; every handler reads it again when it needs the index.
#pragma once

#include <array>

#include "engine/register_tables.h"
#include "ui/register_texts.h"

class QCheckBox;
class QGroupBox;
class QScrollBar;

namespace tarvik {

class RegisterPane {
public:
    using BitBoxes = std::array<QCheckBox*, kBitsPerRegister>;

    // The controls belong to the window; the pane only drives them.
    RegisterPane(RegisterKind kind, QGroupBox& frame, QScrollBar& scroll, const BitBoxes& boxes);

    // The table the pane shows; its boxes are rewritten from it at once.
    void AttachTable(RegisterTable& table);

    // The selection changed: rewrite the caption and all 16 boxes from the
    // table. A box whose value this changes runs its click handler, as a
    // program-set box does on the original platform; the box was just given
    // the entry's own bit, so that click writes back the value the entry
    // already holds.
    void Change();

    // Box `index` (0..15) has its new value: set or clear that one bit of
    // the selected entry, working on the entry's current value.
    void Click(int index);

private:
    // Selected entry, or nullptr without a table or outside it.
    int32_t* SelectedEntry() const;

    RegisterKind kind_;
    QGroupBox& frame_;
    QScrollBar& scroll_;
    BitBoxes boxes_;
    RegisterTable* table_ = nullptr;
};

}  // namespace tarvik
