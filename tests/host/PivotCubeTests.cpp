// The pivot cube, its model and grid: nesting, member order, sums at every
// level, empty cells, the memory cap, the grid's level expansion and what it
// exports.
#include "host/core/Failures.h"
#include "host/data/DataSet.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeExport.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCubeGridPrint.h"
#include "host/pivot/HierCubeModel.h"
#include "host/pivot/MemoryCapacity.h"

#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace hostfw;

namespace {

struct Rec {
    const char* date;
    const char* service;
    const char* item;
    const char* nutrient;
    const char* measure;
    double quantity;
    double total;
};

// A data set shaped as the spreadsheet's reply.
std::unique_ptr<TClientDataSet> sheet(const std::vector<Rec>& recs) {
    auto ds = std::make_unique<TClientDataSet>(nullptr, "cds");
    ds->AddField("DTINQUERITO", TFieldType::ftString, 10);
    ds->AddField("NMSERVICO", TFieldType::ftString, 40);
    ds->AddField("NMPRODUTO", TFieldType::ftString, 50);
    ds->AddField("NMNUTRIENTE", TFieldType::ftString, 20);
    ds->AddField("NMMEDICASE", TFieldType::ftString, 40);
    ds->AddField("QTALIMINQUER", TFieldType::ftFloat)->DisplayFormat = "#,##0.000";
    ds->AddField("TOTAL", TFieldType::ftFloat);
    protocol::json rows = protocol::json::array();
    for (const auto& r : recs)
        rows.push_back({r.date, r.service, r.item, r.nutrient, r.measure, r.quantity, r.total});
    ds->SetData({{"fields",
                  {{{"name", "DTINQUERITO"}, {"type", "string"}, {"size", 10}},
                   {{"name", "NMSERVICO"}, {"type", "string"}, {"size", 40}},
                   {{"name", "NMPRODUTO"}, {"type", "string"}, {"size", 50}},
                   {{"name", "NMNUTRIENTE"}, {"type", "string"}, {"size", 20}},
                   {{"name", "NMMEDICASE"}, {"type", "string"}, {"size", 40}},
                   {{"name", "QTALIMINQUER"}, {"type", "float"}},
                   {{"name", "TOTAL"}, {"type", "float"}}}},
                 {"rows", rows}});
    return ds;
}

void mapSpreadsheet(THierCube& cube) {
    using R = TCubeRole;
    using A = TCubeAxis;
    using O = TMemberOrder;
    cube.DimensionMap = {
        {"DTINQUERITO", "Data", R::Dimension, A::Rows, O::ByName, false},
        {"NMSERVICO", "Serviço", R::Dimension, A::Rows, O::ByName, false},
        {"NMPRODUTO", "Produto/Prato", R::Dimension, A::Rows, O::ByName, false},
        {"NMMEDICASE", "Medida de Porcionamento", R::Dimension, A::Rows, O::ByName, false},
        {"QTALIMINQUER", "Quantidade", R::Dimension, A::Rows, O::DataSetOrder, true},
        {"NMNUTRIENTE", "Nutriente", R::Dimension, A::Columns, O::ByName, false},
        {"TOTAL", "TOTAL", R::Summary, A::None, O::ByName, false},
    };
}

const std::vector<Rec> kWeek = {
    {"2026-11-30", "Desjejum", "Pão", "Proteína", "Unidade", 2, 8.0},
    {"2026-11-30", "Desjejum", "Pão", "Energia", "Unidade", 2, 300.0},
    {"2026-11-30", "Almoço", "Arroz", "Proteína", "Colher", 3, 5.0},
    {"2026-11-30", "Almoço", "Arroz", "Energia", "Colher", 3, 250.0},
    {"2026-11-30", "Almoço", "Arroz", "Proteína", "Colher", 1, 1.5},
    {"2026-11-30", "Almoço", "Arroz", "Energia", "Colher", 1, 80.0},
    {"2026-12-01", "Ceia", "Leite", "Energia", "Copo", 1, 120.0},
};

}  // namespace

TEST(PivotCube, NestsRowsSortsMembersAndSumsEveryLevel) {
    auto ds = sheet(kWeek);
    THierCube cube;
    mapSpreadsheet(cube);
    cube.SeDataSet(ds.get());
    cube.SetActive(true);
    const auto& r = cube.Result();
    ASSERT_EQ(r.columns, (QStringList{"Energia", "Proteína"}));
    const auto& root = r.nodes[0];
    EXPECT_DOUBLE_EQ(root.sums[0], 300 + 250 + 80 + 120);
    EXPECT_DOUBLE_EQ(root.sums[1], 8 + 5 + 1.5);

    ASSERT_EQ(root.children.size(), 2u);
    const auto& day1 = r.nodes[size_t(root.children[0])];
    EXPECT_EQ(day1.member, "2026-11-30");
    // Services by name, accents sorted with their letter: Almoço before Desjejum.
    ASSERT_EQ(day1.children.size(), 2u);
    const auto& lunch = r.nodes[size_t(day1.children[0])];
    EXPECT_EQ(lunch.member, "Almoço");
    EXPECT_DOUBLE_EQ(lunch.sums[0], 330.0);
    EXPECT_DOUBLE_EQ(lunch.sums[1], 6.5);
    const auto& spoon = r.nodes[size_t(r.nodes[size_t(lunch.children[0])].children[0])];
    EXPECT_EQ(spoon.member, "Colher");
    // Quantities keep the data set's order (3 was met before 1), as text.
    ASSERT_EQ(spoon.children.size(), 2u);
    EXPECT_EQ(r.nodes[size_t(spoon.children[0])].member, "3,000");
    EXPECT_EQ(r.nodes[size_t(spoon.children[1])].member, "1,000");
    // A day without a nutrient has an empty cell, not a zero.
    const auto& day2 = r.nodes[size_t(root.children[1])];
    EXPECT_DOUBLE_EQ(day2.sums[0], 120.0);
    EXPECT_TRUE(std::isnan(day2.sums[1]));
}

TEST(PivotCube, FollowsItsDataSetAndRefusesWhatDoesNotFit) {
    auto ds = sheet(kWeek);
    THierCube cube;
    mapSpreadsheet(cube);
    EXPECT_THROW(cube.SetActive(true), EHostError);  // no data set bound
    cube.SeDataSet(ds.get());
    cube.SetActive(true);
    ds->EmptyDataSet();
    EXPECT_TRUE(cube.Result().nodes[0].children.empty()) << "an emptied data set shows nothing";
    ds->Close();
    EXPECT_FALSE(cube.Active()) << "a closed data set deactivates the cube";

    auto big = sheet(kWeek);
    cube.SeDataSet(big.get());
    const std::size_t saved = Mxarrays::GetMemoryCapacity();
    Mxarrays::SetMemoryCapacity(1024);  // a few nodes at most
    EXPECT_THROW(cube.SetActive(true), EHostError);
    EXPECT_FALSE(cube.Active());
    Mxarrays::SetMemoryCapacity(saved);
    cube.SetActive(true);
    EXPECT_TRUE(cube.Active());
}

TEST(PivotCube, MemoryCapacityCapsEachPartAndTheSum) {
    const std::uint64_t cap = 2147483647ULL;
    EXPECT_EQ(Mxarrays::CapacityFor(1000, 500), 1250u);
    EXPECT_EQ(Mxarrays::CapacityFor(1000, 501), 1250u);  // half rounded down
    EXPECT_EQ(Mxarrays::CapacityFor(~0ULL, 0), cap);     // all ones is over the cap
    EXPECT_EQ(Mxarrays::CapacityFor(1000, ~0ULL), 1000 + cap / 2);
    EXPECT_EQ(Mxarrays::CapacityFor(cap - 10, 4000), cap);
    const auto free = Mxarrays::ReadFreeMemory();
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(free->physical, 0u);
}

TEST(PivotGrid, ExpandsByLevelAndExportsWhatItShows) {
    auto ds = sheet(kWeek);
    THierCube cube;
    mapSpreadsheet(cube);
    cube.SeDataSet(ds.get());
    cube.SetActive(true);
    THierCubeGrid grid(nullptr, "grid");
    grid.SetCube(&cube);
    auto* model = grid.Model();
    // Top level: two dates and the grand total.
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(2, 0).data().toString(), "Total");
    EXPECT_EQ(model->index(2, 1).data().toString(), "750,000");
    EXPECT_EQ(grid.visibleRows().size(), 3u) << "collapsed: dates and total only";

    auto* states = grid.GetDimensionStates();
    ASSERT_NE(states->FindFieldName("dtinquerito"), nullptr);
    EXPECT_EQ(states->FindFieldName("NMNUTRIENTE")->RowLevel(), -1);
    for (const char* f : {"DTINQUERITO", "NMSERVICO", "NMPRODUTO", "NMMEDICASE", "QTALIMINQUER", "NMNUTRIENTE"})
        states->FindFieldName(f)->ExpandAllNodes();
    const auto rows = grid.visibleRows();
    // 2 dates + 3 services + 3 items + 3 measures + 4 quantities + total.
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0].label, "2026-11-30");
    EXPECT_EQ(rows[1].label, "Almoço");
    EXPECT_EQ(rows[4].label, "3,000");
    EXPECT_EQ(rows[4].depth, 4);
    EXPECT_DOUBLE_EQ(rows[4].values[0], 250.0);
    EXPECT_TRUE(rows[3].isTotal) << "the measure's total line comes before its quantities";

    // Scrolling and repainting read the computed cube; they never rebuild it.
    int rebuilt = 0;
    QObject::connect(&cube, &THierCube::changed, [&] { ++rebuilt; });
    grid.resize(300, 120);
    grid.show();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    grid.repaint();
    EXPECT_EQ(rebuilt, 0);

    QTemporaryDir dir;
    const QString csv = dir.filePath("p.csv");
    ExportCubeGridCsv(grid, csv);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark tells spreadsheet programs it is UTF-8";
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[0], "Data › Serviço › Produto/Prato › Medida de Porcionamento › Quantidade;Energia;Proteína");
    EXPECT_EQ(lines[5], "        3,000;250,000;5,000");
    EXPECT_EQ(lines[16], "Total;750,000;14,500");
    EXPECT_THROW(ExportCubeGridCsv(grid, dir.filePath("missing/dir/p.csv")), EHostError);
}

TEST(PivotGrid, ShowsExportsAndPrintsHalvesRoundedAsTheDataGrid) {
    // 1,0005 is 1,000499… in binary: the decimal half must still round up.
    auto ds = sheet({{"2026-11-30", "Desjejum", "Pão", "Energia", "Unidade", 1, 1.0005},
                     {"2026-11-30", "Desjejum", "Pão", "Proteína", "Unidade", 1, 1234.5675}});
    THierCube cube;
    mapSpreadsheet(cube);
    cube.SeDataSet(ds.get());
    cube.SetActive(true);
    THierCubeGrid grid(nullptr, "grid");
    grid.SetCube(&cube);
    auto* model = grid.Model();
    EXPECT_EQ(model->index(0, 1).data().toString(), "1,001");
    EXPECT_EQ(model->index(0, 2).data().toString(), "1.234,568");

    QTemporaryDir dir;
    const QString csv = dir.filePath("p.csv");
    ExportCubeGridCsv(grid, csv);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll().mid(3));
    EXPECT_TRUE(text.contains("Total;1,001;1234,568")) << qPrintable(text);

    THierCubeGridPrint print(nullptr, "print");
    print.Grid = &grid;
    const QString pdf = dir.filePath("p.pdf");
    print.SavePdf(pdf);
    QProcess extract;
    extract.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(extract.waitForFinished(30000));
    const QString printed = QString::fromUtf8(extract.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("1,001")) << qPrintable(printed);
    EXPECT_TRUE(printed.contains("1.234,568")) << qPrintable(printed);
    EXPECT_FALSE(printed.contains("1,000 ")) << qPrintable(printed);
}
