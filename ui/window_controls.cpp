#include "ui/window_controls.h"

#include <QCheckBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>

#include "ui/twips.h"

namespace tarvik {
namespace {

constexpr int kPaneLastRegister = 511;

// Amber behind dark text: readable, and unlike the red and green of the
// connection colour.
const QColor kWarningBackground(255, 191, 0);
const QColor kWarningText(0, 0, 0);

}  // namespace

QFont WindowFont() {
    QFont font;
    font.setPixelSize(kFontPixels);
    return font;
}

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
    auto* scroll = Place(new QScrollBar(Qt::Vertical, frame), name, TwipsRect(4680, 120, 255, 735));
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

QColor WarningBackground() { return kWarningBackground; }
QColor WarningText() { return kWarningText; }

void ShowAsWarning(QCheckBox& box, bool warn) {
    // A style sheet, because styles may paint a check box's background from
    // their own colours rather than its palette.
    box.setStyleSheet(warn ? QStringLiteral("QCheckBox { background-color: %1; color: %2; }")
                                 .arg(kWarningBackground.name(), kWarningText.name())
                           : QString());
}

}  // namespace tarvik
