#include "ui/unit_box.h"

#include <QComboBox>
#include <QLabel>

#include "ui/twips.h"
#include "ui/window_controls.h"

namespace tarvik {

QComboBox* MakeUnitBox(QWidget* parent, const UnitSet& served) {
    // One row below "Show reads", in the column of the options.
    auto* label = Place(new QLabel(QStringLiteral("Unit"), parent), "Label_Unit",
                        TwipsRect(5148, 1608, 420, 216));
    auto* box = Place(new QComboBox(parent), "Combo_Unit", TwipsRect(5580, 1560, 1020, 300));
    label->setBuddy(box);
    for (const int unit : UnitIds(served)) box->addItem(QString::number(unit), unit);
    box->setCurrentIndex(0);
    label->show();
    box->show();
    return box;
}

}  // namespace tarvik
