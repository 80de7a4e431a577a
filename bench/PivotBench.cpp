// The spreadsheet's pivot at scale: building and showing the expanded pivot
// of N reply rows against a plain sort of the same rows by the spreadsheet's
// index fields, measured side by side in one run.
//
//   pivot_bench [rows] [repetitions]
#include "host/data/DataSet.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeGrid.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <tuple>
#include <vector>

using namespace hostfw;

namespace {

// A month of a patient with many nutrients: items x nutrients rows.
protocol::json replyPacket(int rows) {
    const int nutrients = 27;
    const char* services[] = {"Desjejum", "Colação", "Almoço", "Lanche", "Jantar", "Ceia"};
    const char* measures[] = {"Unidade", "Colher de sopa", "Xícara", "Fatia", "Copo", "Porção"};
    std::mt19937 rng(42);
    protocol::json out = protocol::json::array();
    int item = 0;
    while (static_cast<int>(out.size()) < rows) {
        const QDate day = QDate(2026, 1, 1).addDays(item / 24 % 365);
        const std::string service = services[item / 4 % 6];
        const std::string food = "Alimento " + std::to_string(rng() % 600);
        const std::string measure = measures[rng() % 6];
        const double quantity = 1 + rng() % 4 * 0.5;
        for (int n = 0; n < nutrients && static_cast<int>(out.size()) < rows; ++n)
            out.push_back({day.toString(Qt::ISODate).toStdString(), service, food,
                           "Nutriente " + std::to_string(100 + n), measure, quantity, (rng() % 100000) / 100.0});
        ++item;
    }
    return {{"fields",
             {{{"name", "DTINQUERITO"}, {"type", "string"}, {"size", 10}},
              {{"name", "NMSERVICO"}, {"type", "string"}, {"size", 40}},
              {{"name", "NMPRODUTO"}, {"type", "string"}, {"size", 50}},
              {{"name", "NMNUTRIENTE"}, {"type", "string"}, {"size", 20}},
              {{"name", "NMMEDICASE"}, {"type", "string"}, {"size", 40}},
              {{"name", "QTALIMINQUER"}, {"type", "float"}},
              {{"name", "TOTAL"}, {"type", "float"}}}},
            {"rows", out}};
}

std::unique_ptr<TClientDataSet> loaded(const protocol::json& packet) {
    auto ds = std::make_unique<TClientDataSet>(nullptr, "cdsInquNutr");
    ds->SetData(packet);
    ds->FieldByName("QTALIMINQUER")->DisplayFormat = "#,##0.000";
    return ds;
}

// The plain sort: the rows' index fields extracted and sorted.
double plainSortMs(const TClientDataSet& ds) {
    QElapsedTimer t;
    t.start();
    using Key = std::tuple<QString, QString, QString, QString, QString, double, double>;
    std::vector<Key> keys;
    keys.reserve(static_cast<size_t>(ds.RecordCount()));
    for (int i = 0; i < ds.RecordCount(); ++i)
        keys.emplace_back(ds.ValueAt(i, 0).toString(), ds.ValueAt(i, 1).toString(), ds.ValueAt(i, 2).toString(),
                          ds.ValueAt(i, 3).toString(), ds.ValueAt(i, 4).toString(), ds.ValueAt(i, 5).toDouble(),
                          ds.ValueAt(i, 6).toDouble());
    std::sort(keys.begin(), keys.end());
    return t.nsecsElapsed() / 1e6;
}

double pivotMs(TClientDataSet& ds, THierCubeGrid& grid, THierCube& cube) {
    QElapsedTimer t;
    t.start();
    cube.SeDataSet(&ds);
    cube.SetActive(true);
    const double built = t.nsecsElapsed() / 1e6;
    for (const char* f : {"DTINQUERITO", "NMSERVICO", "NMPRODUTO", "NMMEDICASE", "QTALIMINQUER", "NMNUTRIENTE"})
        grid.GetDimensionStates()->FindFieldName(f)->ExpandAllNodes();
    grid.repaint();  // shown: laid out and painted
    QApplication::processEvents();
    const double ms = t.nsecsElapsed() / 1e6;
    if (qEnvironmentVariableIsSet("PIVOT_BENCH_PHASES")) std::printf("    (cube built in %.1f ms)\n", built);
    cube.SeDataSet(nullptr);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    const auto packet = replyPacket(rows);

    THierCube cube;
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
    THierCubeGrid grid(nullptr, "hcgInquNutri");
    grid.SetCube(&cube);
    grid.resize(1200, 700);
    grid.show();

    std::vector<double> sorts, indexSorts, pivots;
    for (int r = 0; r < reps; ++r) {
        auto ds = loaded(packet);
        sorts.push_back(plainSortMs(*ds));
        QElapsedTimer t;
        t.start();
        ds->SetIndexFieldNames("DTINQUERITO;NMSERVICO;NMPRODUTO;NMNUTRIENTE;NMMEDICASE;QTALIMINQUER;TOTAL");
        indexSorts.push_back(t.nsecsElapsed() / 1e6);
        pivots.push_back(pivotMs(*ds, grid, cube));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double sort = median(sorts), index = median(indexSorts), pivot = median(pivots);
    std::printf("pivot of %d rows, median of %d runs (one process, alternating):\n", rows, reps);
    std::printf("  plain sort by the index fields     %8.1f ms\n", sort);
    std::printf("  data set index (idxInquNutr)       %8.1f ms\n", index);
    std::printf("  build + expand + show the pivot    %8.1f ms\n", pivot);
    std::printf("  ratio pivot / plain sort           %8.2f (target <= 2)\n", pivot / sort);
    return 0;
}
