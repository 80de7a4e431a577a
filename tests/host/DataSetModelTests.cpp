// The data set's item model: the rows and texts it shows, the fine-grained
// signals that follow each record operation (Qt's model tester aborts on an
// inconsistent one), and edits written through the fields.
#include "host/data/DataSetModel.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace hostfw;

namespace {

struct Items {
    TClientDataSet ds{nullptr, "cdsItens"};
    TField* code = ds.AddField("CODIGO", TFieldType::ftString, 10);
    TField* qty = ds.AddField("QTDE", TFieldType::ftFloat);
    TDataSetModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy inserted{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removed{&model, &QAbstractItemModel::rowsRemoved};
    QSignalSpy changed{&model, &QAbstractItemModel::dataChanged};

    Items() {
        qty->DisplayFormat = "#,##0.000";
        using protocol::json;
        ds.SetData({{"fields", {{{"name", "CODIGO"}, {"type", "string"}, {"size", 10}}, {{"name", "QTDE"}, {"type", "float"}}}},
                    {"rows", json::array({json::array({"A1", 1234.5}), json::array({"B2", 2})})}});
        model.SetColumns({{"CODIGO", QString()}, {"QTDE", QStringLiteral("Quantidade")}});
        model.SetDataSet(&ds);
        clearSpies();
    }
    void clearSpies() {
        resets.clear();
        inserted.clear();
        removed.clear();
        changed.clear();
    }
    QString text(int row, int col) { return model.index(row, col).data().toString(); }
};

} // namespace

TEST(DataSetModel, ShowsRowsTitlesAndTheRecordIndicator) {
    Items t;
    EXPECT_EQ(t.model.rowCount(), 2);
    EXPECT_EQ(t.model.columnCount(), 2);
    EXPECT_EQ(t.text(0, 1), "1.234,500");
    EXPECT_EQ(t.text(1, 0), "B2");
    EXPECT_EQ(t.model.headerData(0, Qt::Horizontal).toString(), "CODIGO");
    EXPECT_EQ(t.model.headerData(1, Qt::Horizontal).toString(), "Quantidade");
    EXPECT_EQ(t.model.headerData(0, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    EXPECT_EQ(t.model.headerData(1, Qt::Vertical).toString(), "");
    t.ds.Edit();
    EXPECT_EQ(t.model.headerData(0, Qt::Vertical).toString(), "I");
    t.ds.Cancel();
    t.ds.Last();
    EXPECT_EQ(t.model.headerData(1, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    EXPECT_EQ(t.model.headerData(0, Qt::Vertical).toString(), "");
}

TEST(DataSetModel, RecordOperationsSendRowSignalsNotResets) {
    Items t;
    t.ds.Append();
    EXPECT_EQ(t.inserted.count(), 1);
    EXPECT_EQ(t.inserted[0][1].toInt(), 2);
    EXPECT_EQ(t.model.rowCount(), 3);
    EXPECT_EQ(t.model.headerData(2, Qt::Vertical).toString(), "*");

    t.code->SetAsString("C3");
    EXPECT_GT(t.changed.count(), 0);
    EXPECT_EQ(t.changed.last()[0].toModelIndex().row(), 2);
    EXPECT_EQ(t.text(2, 0), "C3");  // the row being typed shows its pending value

    t.ds.Post();
    t.ds.First();
    t.ds.Delete();
    EXPECT_EQ(t.removed.count(), 1);
    EXPECT_EQ(t.removed[0][1].toInt(), 0);
    EXPECT_EQ(t.model.rowCount(), 2);
    EXPECT_EQ(t.text(0, 0), "B2");

    t.ds.Insert();  // before the current row, then given up
    t.ds.Cancel();
    EXPECT_EQ(t.inserted.count(), 2);
    EXPECT_EQ(t.removed.count(), 2);
    EXPECT_EQ(t.model.rowCount(), 2);
    EXPECT_EQ(t.resets.count(), 0);
}

TEST(DataSetModel, ReloadsReorderingAndClosingReset) {
    Items t;
    t.ds.SetIndexFieldNames("QTDE");  // rows change order
    EXPECT_EQ(t.resets.count(), 1);
    EXPECT_EQ(t.text(0, 0), "B2");
    t.ds.EmptyDataSet();
    EXPECT_EQ(t.model.rowCount(), 0);
    t.ds.Close();
    t.ds.CreateDataSet();
    EXPECT_EQ(t.model.rowCount(), 0);
    t.ds.Append();
    EXPECT_EQ(t.model.rowCount(), 1);
    t.ds.Post();
    t.ds.Close();
    EXPECT_EQ(t.model.rowCount(), 0);  // a closed set shows no rows
    EXPECT_EQ(t.model.index(0, 0).data(), QVariant());
}

TEST(DataSetModel, EditsWriteTheCurrentRowsFieldAndRefusalsThrow) {
    Items t;
    EXPECT_TRUE(t.model.flags(t.model.index(0, 1)) & Qt::ItemIsEditable);
    t.qty->ReadOnly = true;
    EXPECT_FALSE(t.model.flags(t.model.index(0, 1)) & Qt::ItemIsEditable);
    t.qty->ReadOnly = false;

    t.ds.Edit();
    EXPECT_EQ(t.model.index(0, 1).data(Qt::EditRole).toString(), "1234,5");
    EXPECT_TRUE(t.model.setData(t.model.index(0, 1), QStringLiteral("7,25")));
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 7.25);
    // Only the current row takes edits.
    EXPECT_FALSE(t.model.setData(t.model.index(1, 1), QStringLiteral("1")));
    EXPECT_EQ(t.text(1, 1), "2,000");
    EXPECT_THROW(t.model.setData(t.model.index(0, 1), QStringLiteral("abc")), EHostError);
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 7.25);
}

TEST(DataSetModel, TheGridsModelIsTheDataSetModel) {
    TClientDataSet ds(nullptr, "cds");
    ds.AddField("CODIGO", TFieldType::ftString, 10);
    ds.CreateDataSet();
    TDataSource source(nullptr, "dts", &ds);
    TDBGrid grid(nullptr, "dbg");
    grid.SetDataSource(&source);
    ASSERT_EQ(grid.model(), grid.DataModel());
    QSignalSpy resets(grid.DataModel(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(grid.DataModel(), &QAbstractItemModel::rowsInserted);
    ds.Append();
    ds.Post();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(grid.model()->rowCount(), 1);
}
