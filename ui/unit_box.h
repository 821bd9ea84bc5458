// The "Unit" box: with more than one unit served, a combo box labelled
// "Unit" (the label to its left) in the right-hand column below "Show
// reads", listing the served ids; the unit chosen is the one whose
// registers the panes and the holding-register list show and edit.
#pragma once

#include "engine/unit_tables.h"

class QComboBox;
class QWidget;

namespace tarvik {

// Makes the box and its label on `parent`, the first served id chosen;
// returns the box, whose items' data are their unit ids.
QComboBox* MakeUnitBox(QWidget* parent, const UnitSet& served);

}  // namespace tarvik
