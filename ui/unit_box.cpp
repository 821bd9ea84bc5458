#include "ui/unit_box.h"

#include <QComboBox>
#include <QLabel>

#include "ui/twips.h"
#include "ui/window_controls.h"

namespace tarvik {

UnitBoxControls MakeUnitBox(QWidget* parent, const UnitSet& served) {
    UnitBoxControls made;
    // One row below "Show reads", in the column of the options.
    made.label = Place(new QLabel(QStringLiteral("Unit"), parent), "Label_Unit",
                       TwipsRect(5148, 1608, 420, 216));
    made.box = Place(new QComboBox(parent), "Combo_Unit", TwipsRect(5580, 1560, 1020, 300));
    made.label->setBuddy(made.box);
    for (const int unit : UnitIds(served)) made.box->addItem(QString::number(unit), unit);
    made.box->setCurrentIndex(0);
    made.label->show();
    made.box->show();
    return made;
}

}  // namespace tarvik
