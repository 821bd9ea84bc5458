// Making the window's controls: each placed in twips, named for the tests
// and the operator's scripts, and painted in its own colours so the
// connection colour shows only in the gaps between them.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "ui/register_pane.h"

class QCheckBox;
class QFont;
class QIcon;
class QLabel;
class QScrollBar;
class QWidget;

namespace tarvik {

// The one font of the window, sized in pixels so screen density moves no
// caption out of its control.
QFont WindowFont();
inline constexpr int kFontPixels = 9;

// Controls fill their own rectangles in the default colours.
void KeepOwnBackground(QWidget& widget);

// Names and places `widget` (rectangle in pixels from TwipsRect).
template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect place) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(place);
    KeepOwnBackground(*widget);
    return widget;
}

// "Name(index)", the names of the controls that come in rows.
QString Indexed(const char* name, int index);

QLabel* MakeLabel(QWidget* parent, int index, const char* text, QRect place);
QCheckBox* MakeOption(QWidget* parent, const char* name, const char* caption, bool checked,
                      QRect place);
QScrollBar* MakeRegisterScroll(QWidget* frame, const char* name);
RegisterPane::BitBoxes MakeBitBoxes(QWidget* frame, const char* name);
QIcon MakeWindowIcon();

// An option that changes how the emulator answers is drawn in a warning
// colour while it is checked, so a forgotten one is seen at a glance.
void ShowAsWarning(QCheckBox& box, bool warn);
// That warning colour, for other widgets that warn the same way.
QColor WarningBackground();
QColor WarningText();

}  // namespace tarvik
