// The Values window of the running program (offscreen), a master on the same
// event loop: the table's texts for every type, edits read back over the
// wire, refusals, the chart's lines and their bound, and a reload.
#include <QAction>
#include <QChart>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QTableView>
#include <QValueAxis>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "testkit/request_frames.h"
#include "tests/app/in_process_support.h"
#include "ui/trend_chart.h"
#include "ui/values_table_model.h"

namespace tarvik::testing {
namespace {

using Row = std::vector<std::string>;

class ValuesWindowTest : public ::testing::Test {
protected:
    void Start(const std::string& sections) {
        under = std::make_unique<ProgramUnderTest>(ServerIni(port) + sections);
        ASSERT_TRUE(under->Show());
        ASSERT_TRUE(master.Connect(port));
        under->Window().ValuesAction()->trigger();
        window = under->Face().Values();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kWaitMs));
        model = window->Model();
    }
    // The headers, then each row's texts.
    std::vector<Row> Table() const {
        std::vector<Row> rows(1 + model->rowCount());
        for (int c = 0; c < model->columnCount(); ++c) {
            rows[0].push_back(
                model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
            for (int r = 0; r < model->rowCount(); ++r)
                rows[r + 1].push_back(model->index(r, c).data().toString().toStdString());
        }
        return rows;
    }
    // Holding registers from `start`, as the master reads them.
    std::vector<int> Read(int start, int count) {
        master.Send(ReadRequest(++transaction, 3, start, count));
        const std::optional<std::string> frame = master.ReceiveFrame();
        std::vector<int> words;
        for (std::size_t at = 9; frame && at + 1 < frame->size(); at += 2)
            words.push_back(GetWord(*frame, at));
        return words;
    }
    void Write(int start, std::vector<int32_t> words) {
        master.Send(WriteValuesRequest(++transaction, start, words));
        EXPECT_TRUE(master.ReceiveFrame());
    }
    // The editor open in the table; closed ones linger until deleted later.
    QLineEdit* Editor() const {
        for (QLineEdit* editor : window->Table()->viewport()->findChildren<QLineEdit*>())
            if (editor->isVisible()) return editor;
        return nullptr;
    }
    QModelIndex ValueCell(int row) const {
        return model->index(row, model->ColumnOf(ValuesColumn::Value));
    }
    // The refusal box's text, closing it; empty when none is up.
    std::string TakeRefusal() {
        auto* box = window->findChild<QMessageBox*>(QStringLiteral("Box_ValueRefused"));
        if (box == nullptr) return {};
        std::string text = box->text().toStdString();
        delete box;
        return text;
    }

    const int port = PickFreeTcpPort();
    std::unique_ptr<ProgramUnderTest> under;
    QtMaster master;
    int transaction = 0;
    ValuesWindow* window = nullptr;
    ValuesTableModel* model = nullptr;
};

TEST_F(ValuesWindowTest, RowsShowEveryTypeInTheTextsOfValues) {
    Start(
        "[Units]\r\nServed=1,3\r\n[Points]\r\nI16=holding,0,int16\r\nU16=holding,1,uint16,BADC\r\n"
        "I32=holding,2,int32,CDAB\r\nU32=holding,4,uint32\r\nF32=holding,6,float32\r\n"
        "I64=holding,8,int64\r\nU64=holding,12,uint64,DCBA\r\nF64=holding,16,float64\r\n"
        "Stage=input,0,int16,ABCD,3\r\n[Generators]\r\nStage=steps  7 9 1m\r\n");
    Write(0, {0xFFF6, 0x3412, 0x7960, 0xFFFE, 0x0001, 0x0000, 0xC148, 0x0000, 0xFFFF, 0xFFFF,
              0xFFFF, 0xFFFF, 0x0100, 0x0000, 0x0000, 0x0000, 0x408F, 0x4000, 0,      0});
    window->Refresh();
    EXPECT_EQ(Table(),
              (std::vector<Row>{
                  {"Name", "Unit", "Table", "Register", "Type", "Order", "Value", "Generator"},
                  {"I16", "1", "holding", "0", "int16", "ABCD", "-10", ""},
                  {"U16", "1", "holding", "1", "uint16", "BADC", "4660", ""},
                  {"I32", "1", "holding", "2", "int32", "CDAB", "-100000", ""},
                  {"U32", "1", "holding", "4", "uint32", "ABCD", "65536", ""},
                  {"F32", "1", "holding", "6", "float32", "ABCD", "-12.5", ""},
                  {"I64", "1", "holding", "8", "int64", "ABCD", "-1", ""},
                  {"U64", "1", "holding", "12", "uint64", "DCBA", "1", ""},
                  {"F64", "1", "holding", "16", "float64", "ABCD", "1000.0", ""},
                  {"Stage", "3", "input", "0", "int16", "ABCD", "7", "steps  7 9 1m"},
              }));
}

TEST_F(ValuesWindowTest, AnEntryIsWrittenInTheOrderOfItsPointOrRefusedByName) {
    Start(
        "[Points]\r\nFlow=holding,10,float32,CDAB\r\nLevel=holding,20,uint16\r\n"
        "Ramp=holding,30,int16\r\n[Generators]\r\nRamp=ramp 0 100 10s\r\n");
    EXPECT_FALSE(model->flags(ValueCell(2)) & Qt::ItemIsEditable);
    const struct {
        int row;
        const char* entry;
        std::vector<int> registers;  // Flow's two, then Level's
        const char* refusal;
    } cases[] = {
        {0, "-12.5", {0x0000, 0xC148}, ""},
        {0, "1e3", {0x0000, 0x447A}, ""},
        {0,
         "1e39",
         {0x0000, 0x447A},
         "Flow: 1e39 does not fit float32 (-3.402823e+38 to 3.402823e+38)"},
        {1, "+42", {42}, ""},
        {1, "70000", {42}, "Level: 70000 does not fit uint16 (0 to 65535)"},
        {1, "-1", {42}, "Level: -1 does not fit uint16 (0 to 65535)"},
        {1, "1e3", {42}, "Level: 1e3 is not a whole number"},
    };
    for (const auto& c : cases) {
        // As the operator does: the editor opened, the entry typed, Enter.
        window->Table()->edit(ValueCell(c.row));
        QLineEdit* editor = Editor();
        ASSERT_NE(editor, nullptr) << c.entry;
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromLatin1(c.entry));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the view commits on its next pass
        EXPECT_EQ(TakeRefusal(), c.refusal) << c.entry;
        EXPECT_EQ(c.row == 0 ? Read(10, 2) : Read(20, 1), c.registers) << c.entry;
    }
    EXPECT_EQ(ValueCell(1).data().toString().toStdString(), "42");

    // A master's write while the operator types leaves the entry alone.
    window->Table()->edit(ValueCell(1));
    QLineEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("12"));
    Write(20, {99});
    window->Refresh();
    EXPECT_EQ(editor->text().toStdString(), "12");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Read(20, 1), std::vector<int>{12});
}

TEST_F(ValuesWindowTest, TheChartFollowsTheTicksAndKeepsAtMost600Samples) {
    Start(
        "[Points]\r\nA=holding,0,uint16\r\nB=holding,1,int16\r\nC=holding,2,float32\r\n"
        "D=holding,4,uint16\r\n"
        "[Generators]\r\nA=ramp 0 100 1s\r\nB=sine 0 50 1s\r\nC=steps 1 2 3 100ms\r\n");
    TrendChart* chart = window->Chart();
    const auto names = [&] {
        std::vector<std::string> shown;
        for (int row = 0; row < model->rowCount(); ++row)
            if (QLineSeries* line = chart->Line(row)) shown.push_back(line->name().toStdString());
        return shown;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
    for (int i = 0; i < 650; ++i) window->Refresh();
    for (int row = 0; row < 3; ++row) EXPECT_EQ(chart->Line(row)->count(), 600) << row;

    const QModelIndex name1 = model->index(1, 0);
    ASSERT_TRUE(model->setData(name1, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C"}));
    ASSERT_TRUE(model->setData(model->index(3, 0), Qt::Checked, Qt::CheckStateRole));
    window->Refresh();
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(chart->Line(3)->count(), 1);
}

TEST_F(ValuesWindowTest, WithoutPointsItSaysSoAndAReloadBringsThemIn) {
    Start("");
    EXPECT_TRUE(window->NoPointsLabel()->isVisible());
    EXPECT_EQ(window->NoPointsLabel()->text().toStdString(),
              "No points: add a [Points] section to the settings file.");
    EXPECT_FALSE(window->Table()->isVisible());

    std::ofstream(under->SettingsPath(), std::ios::trunc)
        << ServerIni(port) << "[Points]\r\nP=holding,0,uint16\r\nQ=input,5,int32\r\n";
    under->Face().Reload();
    EXPECT_FALSE(window->NoPointsLabel()->isVisible());
    EXPECT_TRUE(window->Table()->isVisible());
    EXPECT_EQ(Table(), (std::vector<Row>{
                           {"Name", "Table", "Register", "Type", "Order", "Value", "Generator"},
                           {"P", "holding", "0", "uint16", "ABCD", "0", ""},
                           {"Q", "input", "5", "int32", "ABCD", "0", ""}}));
    EXPECT_EQ(window->Chart()->LineCount(), 2u);

    // Q unticked; after the next reload P is still charted and Q is not.
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    std::ofstream(under->SettingsPath(), std::ios::trunc)
        << ServerIni(port) << "[Points]\r\nQ=input,5,int32\r\nP=holding,0,uint16\r\n";
    under->Face().Reload();
    EXPECT_EQ(window->Chart()->LineCount(), 1u);
    ASSERT_NE(window->Chart()->Line(1), nullptr);
    EXPECT_EQ(window->Chart()->Line(1)->name(), QStringLiteral("P"));
}

TEST(TrendChart, TheValueAxisHoldsTheSamplesShownAndNotMuchMore) {
    const struct {
        std::vector<double> old;  // older than the span at the redraw
        std::vector<double> shown;
    } cases[] = {
        {{}, {10, 70}},        {{}, {-5, 105}},         {{}, {42, 42}}, {{}, {1e18, 1.01e18}},
        {{}, {-1e300, 1e300}}, {{0, 100000}, {40, 60}},  // a range once needed is let go
    };
    for (const auto& c : cases) {
        TrendChart chart;
        chart.AddLine(0, QStringLiteral("P"));
        for (double value : c.old) chart.Sample(0, 0, value);
        chart.Redraw(0);
        for (double value : c.shown) chart.Sample(0, kTrendSpanMs + 1000, value);
        chart.Redraw(kTrendSpanMs + 1000);
        const double low = *std::min_element(c.shown.begin(), c.shown.end());
        const double high = *std::max_element(c.shown.begin(), c.shown.end());
        const double span = std::max(high - low, std::fabs(low) * 0.02);
        const QValueAxis& axis = *chart.ValueAxis();
        EXPECT_EQ(chart.Line(0)->count(), static_cast<int>(c.shown.size())) << high;
        EXPECT_LE(axis.min(), low) << high;
        EXPECT_GE(axis.max(), high) << high;
        if (std::isfinite(high - low)) {
            EXPECT_LE(axis.max() - axis.min(), 2.5 * span + 2) << high;
        }
    }
}

}  // namespace
}  // namespace tarvik::testing
