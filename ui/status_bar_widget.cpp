#include "ui/status_bar_widget.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>

#include "ui/twips.h"

namespace tarvik {
namespace {

constexpr int kStatusBarHeightTwips = 252;
constexpr int kClockCheckMs = 1000;

struct PanelDesign {
    const char* hint;
    int minWidthTwips;
    Qt::Alignment alignment;
    const char* startText;
};

constexpr std::array<PanelDesign, kPanelCount> kPanels{{
    {"Connection state", 1440, Qt::AlignLeft | Qt::AlignVCenter, ""},
    {"Received packets", 400, Qt::AlignCenter, "0"},
    {"Sent packets", 400, Qt::AlignCenter, "0"},
    {"", 800, Qt::AlignCenter, ""},
    {"", 800, Qt::AlignCenter, ""},
}};

void SetIfChanged(QLabel& label, const QString& text) {
    if (label.text() != text) label.setText(text);
}

}  // namespace

StatusBarWidget::StatusBarWidget(QWidget* parent) : QStatusBar(parent) {
    setObjectName("StatusBar");
    setFixedHeight(Px(kStatusBarHeightTwips));
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelDesign& design = kPanels[static_cast<std::size_t>(i)];
        auto* label = new QLabel(QString::fromLatin1(design.startText), this);
        label->setObjectName(QStringLiteral("Panel(%1)").arg(i + 1));
        // Host names come from the settings file: never read them as markup.
        label->setTextFormat(Qt::PlainText);
        label->setToolTip(QString::fromLatin1(design.hint));
        label->setMinimumWidth(Px(design.minWidthTwips));
        label->setAlignment(design.alignment);
        panels_[static_cast<std::size_t>(i)] = label;
        // The connection panel takes whatever width the others leave.
        if (i == 0) {
            addWidget(label, 1);
        } else {
            addPermanentWidget(label, 0);
        }
    }
    UpdateClock();
    connect(&clockTimer_, &QTimer::timeout, this, &StatusBarWidget::UpdateClock);
    clockTimer_.start(kClockCheckMs);
}

QLabel* StatusBarWidget::Panel(int panel) const {
    if (panel < 1 || panel > kPanelCount) return nullptr;
    return panels_[static_cast<std::size_t>(panel - 1)];
}

std::string StatusBarWidget::PanelText(int panel) const {
    const QLabel* label = Panel(panel);
    return label ? label->text().toStdString() : std::string();
}

void StatusBarWidget::SetPanelText(int panel, std::string_view text) {
    if (QLabel* label = Panel(panel)) {
        label->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
}

void StatusBarWidget::UpdateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    SetIfChanged(*Panel(kDatePanel), QLocale::system().toString(now.date(), QLocale::ShortFormat));
    SetIfChanged(*Panel(kTimePanel), now.time().toString(QStringLiteral("HH:mm")));
}

}  // namespace tarvik
