#include "ui/status_bar_widget.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>

#include <algorithm>

#include "ui/debug_list_model.h"
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

bool IsCounter(int panel) { return panel == kReceivedPanel || panel == kSentPanel; }

// A panel whose size may change makes the whole bar lay itself out and
// repaint at every new text. The counters therefore keep a fixed size: the
// height the bar gave them, and the designed width or what a long count
// needs, changed only when the number of digits changes.
void FitCounterSize(QLabel& label, int designedWidthPx) {
    // Measured from the text: a label's size hint never goes below its
    // minimum width, so it cannot tell when a short count fits again.
    const QFontMetrics metrics = label.fontMetrics();
    const QMargins margins = label.contentsMargins();
    const int textWidth = std::max(metrics.horizontalAdvance(label.text()),
                                   metrics.boundingRect(label.text()).width());
    const int wanted = std::max(designedWidthPx,
                                textWidth + 2 * label.margin() + margins.left() + margins.right());
    if (label.minimumWidth() != wanted || label.maximumWidth() != wanted) {
        label.setMinimumWidth(wanted);
        label.setMaximumWidth(wanted);
    }
    if (label.isVisible() && label.minimumHeight() != label.maximumHeight()) {
        label.setFixedHeight(label.height());
    }
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
        if (IsCounter(i + 1)) label->setMaximumWidth(Px(design.minWidthTwips));
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

    frameMs_ = ScreenFrameIntervalMs();
    clock_.start();
    countersPaintedAtMs_ = -frameMs_;
    coverTimer_.setSingleShot(true);
    connect(&coverTimer_, &QTimer::timeout, this,
            [this] { Panel(kConnectionPanel)->setText(connectionText_); });
    counterFrame_.setSingleShot(true);
    connect(&counterFrame_, &QTimer::timeout, this, &StatusBarWidget::RepaintCounters);
}

QLabel* StatusBarWidget::Panel(int panel) const {
    if (panel < 1 || panel > kPanelCount) return nullptr;
    return panels_[static_cast<std::size_t>(panel - 1)];
}

void StatusBarWidget::SetPanelText(int panel, std::string_view text) {
    QLabel* label = Panel(panel);
    if (label == nullptr) return;
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (panel == kConnectionPanel) {
        connectionText_ = shown;
        if (coverTimer_.isActive()) return;
    }
    label->setText(shown);
}

void StatusBarWidget::SetPanelNumber(int panel, int32_t value) {
    if (!IsCounter(panel)) {
        StatusPanels::SetPanelNumber(panel, value);
        return;
    }
    counts_[static_cast<std::size_t>(panel - kReceivedPanel)] = value;
    if (counterFrame_.isActive()) return;  // shown at the end of the frame
    const int64_t sincePainted = clock_.elapsed() - countersPaintedAtMs_;
    if (sincePainted < frameMs_) {
        counterFrame_.start(static_cast<int>(frameMs_ - sincePainted));
        return;
    }
    countersPaintedAtMs_ = clock_.elapsed();
    ShowCounter(panel);
}

void StatusBarWidget::RepaintCounters() {
    counterFrame_.stop();
    countersPaintedAtMs_ = clock_.elapsed();
    ShowCounter(kReceivedPanel);
    ShowCounter(kSentPanel);
}

void StatusBarWidget::ShowCounter(int panel) {
    QLabel& label = *Panel(panel);
    const QString shown =
        QString::number(counts_[static_cast<std::size_t>(panel - kReceivedPanel)]);
    if (shown == label.text()) return;
    const bool resize =
        shown.size() != label.text().size() || label.minimumHeight() != label.maximumHeight();
    label.setText(shown);
    if (resize)
        FitCounterSize(label, Px(kPanels[static_cast<std::size_t>(panel - 1)].minWidthTwips));
}

void StatusBarWidget::ShowSocketError(const QString& text) {
    Panel(kConnectionPanel)
        ->setToolTip(QString::fromLatin1(kPanels[0].hint) +
                     QStringLiteral("\nLast socket error: ") + text);
}

void StatusBarWidget::ShowForAWhile(const QString& text, int ms) {
    if (!coverTimer_.isActive()) connectionText_ = Panel(kConnectionPanel)->text();
    Panel(kConnectionPanel)->setText(text);
    coverTimer_.start(ms);
}

void StatusBarWidget::UpdateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    SetIfChanged(*Panel(kDatePanel), QLocale::system().toString(now.date(), QLocale::ShortFormat));
    SetIfChanged(*Panel(kTimePanel), now.time().toString(QStringLiteral("HH:mm")));
}

}  // namespace tarvik
