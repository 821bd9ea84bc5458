#include "ui/values_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "slave/product_texts.h"
#include "ui/trend_chart.h"
#include "ui/values_table_model.h"

namespace tarvik {
namespace {

// The view hands a changed value to an open editor; an entry the operator
// has begun typing must not be overwritten by the next refresh.
class ValueEditDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (line != nullptr && line->isModified()) return;
        QStyledItemDelegate::setEditorData(editor, index);
    }
};

}  // namespace

ValuesWindow::ValuesWindow(const CoreValues& values, UnitTables& units, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Values"));
    setWindowTitle(QStringLiteral("Values - ") + QString::fromLatin1(kWindowTitle));
    resize(640, 520);

    model_ = new ValuesTableModel(values, units, this);
    table_ = new QTableView();
    table_->setObjectName(QStringLiteral("Table_Values"));
    table_->setModel(model_);
    table_->setItemDelegate(new ValueEditDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->verticalHeader()->hide();
    // Rows of one height: the view does not measure each row's text.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);

    chart_ = new TrendChart();
    chart_->setObjectName(QStringLiteral("Chart_Values"));

    splitter_ = new QSplitter(Qt::Vertical);
    splitter_->addWidget(table_);
    splitter_->addWidget(chart_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({160, 340});

    noPoints_ =
        new QLabel(QStringLiteral("No points: add a [Points] section to the settings file."));
    noPoints_->setObjectName(QStringLiteral("Label_NoPoints"));
    noPoints_->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter_);
    layout->addWidget(noPoints_);

    connect(model_, &ValuesTableModel::TickChanged, this, &ValuesWindow::FollowTick);
    connect(model_, &ValuesTableModel::EditRefused, this, &ValuesWindow::ShowRefusal);
    refreshTimer_.setInterval(kValuesRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &ValuesWindow::Refresh);
    clock_.start();
    Rebuild();
}

void ValuesWindow::Rebuild() {
    model_->Rebuild();
    chart_->RemoveAll();
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->Ticked(row)) chart_->AddLine(row, model_->Name(row));
    const bool points = model_->rowCount() > 0;
    splitter_->setVisible(points);
    noPoints_->setVisible(!points);
    table_->resizeColumnsToContents();
    Refresh();
}

void ValuesWindow::Refresh() {
    model_->Refresh();
    const int64_t now = clock_.elapsed();
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (!model_->Ticked(row)) continue;
        if (const std::optional<double> reading = model_->Reading(row))
            chart_->Sample(row, now, *reading);
    }
    chart_->Redraw(now);
}

void ValuesWindow::FollowTick(int row, bool ticked) {
    if (ticked) {
        chart_->AddLine(row, model_->Name(row));
    } else {
        chart_->RemoveLine(row);
    }
    chart_->Redraw(clock_.elapsed());
}

void ValuesWindow::ShowRefusal(const QString& message) {
    // Not exec(): the values and the masters go on while the box is up.
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kProgramName), message,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("Box_ValueRefused"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ValuesWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    refreshTimer_.start();
}

void ValuesWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    refreshTimer_.stop();
    // Shown again later, the lines start afresh rather than bridge the gap.
    Rebuild();
}

}  // namespace tarvik
