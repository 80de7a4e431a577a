#include "host/pivot/HierCube.h"

#include "host/core/Failures.h"
#include "host/data/DataSet.h"
#include "host/pivot/MemoryCapacity.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hostfw {

namespace {

constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();

// Member text of a value: numbers taken as text use the field's display.
QString memberText(const TCubeDimension& dim, TField* field, const QVariant& value, int row) {
    if (value.isNull()) return {};
    if (dim.asText && (field->DataType() == TFieldType::ftFloat || field->DataType() == TFieldType::ftInteger))
        return field->DataSet()->DisplayTextAt(row, field->Index());
    return value.toString();
}

// Bytes one node costs: its sums, its member text and bookkeeping.
std::size_t nodeCost(std::size_t columns) { return sizeof(TCubeResult::Node) + columns * sizeof(double) + 64; }

}  // namespace

THierCube::THierCube(QObject* owner, const QString& name) : QObject(owner) { setObjectName(name); }

std::size_t THierCube::memoryCapacity() { return Mxarrays::GetMemoryCapacity(); }

void THierCube::SeDataSet(TClientDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    if (!dataSet) SetActive(false);
    dataSet_ = dataSet;
    if (!dataSet_) return;
    // A reload or a close of the data set must not leave stale sums on show.
    connections_ << connect(dataSet_, &TClientDataSet::rowsChanged, this, [this] {
        if (!active_) return;
        if (!dataSet_->Active()) SetActive(false);
        else compute();
    });
    connections_ << connect(dataSet_, &TClientDataSet::stateChanged, this, [this] {
        if (active_ && !dataSet_->Active()) SetActive(false);
    });
    connections_ << connect(dataSet_, &QObject::destroyed, this, [this] {
        dataSet_ = nullptr;
        clear();
    });
}

void THierCube::SetActive(bool active) {
    if (!active) {
        if (!active_) return;
        clear();
        return;
    }
    if (!dataSet_) throw EHostError(QStringLiteral("O cubo não está ligado a um conjunto de dados."));
    compute();
}

void THierCube::clear() {
    active_ = false;
    result_ = TCubeResult{};
    emit changed();
}

void THierCube::compute() {
    const TCubeDimension* columnDim = nullptr;
    const TCubeDimension* summaryDim = nullptr;
    std::vector<const TCubeDimension*> rowDims;
    for (const auto& d : DimensionMap) {
        if (d.role == TCubeRole::Summary) summaryDim = &d;
        else if (d.role == TCubeRole::Dimension && d.axis == TCubeAxis::Rows) rowDims.push_back(&d);
        else if (d.role == TCubeRole::Dimension && d.axis == TCubeAxis::Columns) columnDim = &d;
    }
    if (!summaryDim || !columnDim || rowDims.empty())
        throw EHostError(QStringLiteral("O mapa de dimensões do cubo está incompleto."));
    auto field = [this](const QString& name) { return dataSet_->FieldByName(name); };
    std::vector<TField*> rowFields;
    for (auto* d : rowDims) rowFields.push_back(field(d->fieldName));
    TField* columnField = field(columnDim->fieldName);
    TField* summaryField = field(summaryDim->fieldName);

    TCubeResult r;
    for (auto* d : rowDims) r.rowCaptions << d->caption;
    r.columnCaption = columnDim->caption;
    r.summaryCaption = summaryDim->caption;

    const int rows = dataSet_->Active() ? dataSet_->RecordCount() : 0;
    const std::size_t capacity = memoryCapacity();

    // Column members first: every node's sums are sized by them.
    QHash<QString, int> columnIndex;
    std::vector<int> rowColumn(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        const QString m = memberText(*columnDim, columnField, dataSet_->ValueAt(i, columnField->Index()), i);
        auto it = columnIndex.constFind(m);
        if (it == columnIndex.constEnd()) it = columnIndex.insert(m, columnIndex.size());
        rowColumn[static_cast<std::size_t>(i)] = it.value();
    }
    const std::size_t columnCount = static_cast<std::size_t>(columnIndex.size());
    QStringList columnsByIndex;
    columnsByIndex.resize(columnIndex.size());
    for (auto it = columnIndex.cbegin(); it != columnIndex.cend(); ++it) columnsByIndex[it.value()] = it.key();

    // Row tree: one child lookup per node and level. Consecutive rows mostly
    // share their path (an item's nutrients), so the last path is reused up
    // to the first member that differs.
    r.nodes.push_back({QString(), QString(), -1, -1, 0, {}, std::vector<double>(columnCount, kEmpty)});
    std::vector<QHash<QString, int>> childIndex(1);
    const std::size_t cost = nodeCost(columnCount);
    const std::size_t levels = rowDims.size();
    std::vector<QString> members(levels), lastMembers(levels);
    std::vector<int> lastPath(levels, -1);
    // Numbers taken as text are formatted once per distinct value.
    std::vector<QHash<double, QString>> numberTexts(levels);
    for (int i = 0; i < rows; ++i) {
        const int col = rowColumn[static_cast<std::size_t>(i)];
        const QVariant v = dataSet_->ValueAt(i, summaryField->Index());
        const double value = v.isNull() ? 0.0 : v.toDouble();
        auto add = [&](int n) {
            double& cell = r.nodes[static_cast<std::size_t>(n)].sums[static_cast<std::size_t>(col)];
            cell = std::isnan(cell) ? value : cell + value;
        };
        add(0);
        int node = 0;
        bool samePath = true;
        for (std::size_t level = 0; level < levels; ++level) {
            TField* f = rowFields[level];
            const QVariant raw = dataSet_->ValueAt(i, f->Index());
            QString& m = members[level];
            if (rowDims[level]->asText && !raw.isNull() &&
                (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftInteger)) {
                auto cached = numberTexts[level].constFind(raw.toDouble());
                if (cached == numberTexts[level].constEnd())
                    cached = numberTexts[level].insert(raw.toDouble(), memberText(*rowDims[level], f, raw, i));
                m = cached.value();
            } else {
                m = raw.isNull() ? QString() : raw.toString();
            }
            int child;
            if (samePath && lastPath[level] >= 0 && m == lastMembers[level]) {
                child = lastPath[level];
            } else {
                samePath = false;
                auto& lookup = childIndex[static_cast<std::size_t>(node)];
                auto it = lookup.constFind(m);
                if (it == lookup.constEnd()) {
                    if ((r.nodes.size() + 1) * cost > capacity)
                        throw EHostError(QStringLiteral("A planilha excede a memória disponível."));
                    child = static_cast<int>(r.nodes.size());
                    const QString shown = rowDims[level]->display ? rowDims[level]->display(m) : m;
                    r.nodes.push_back(
                        {m, shown, static_cast<int>(level), node, 0, {}, std::vector<double>(columnCount, kEmpty)});
                    childIndex.emplace_back();
                    r.nodes[static_cast<std::size_t>(node)].children.push_back(child);
                    childIndex[static_cast<std::size_t>(node)].insert(m, child);
                } else {
                    child = it.value();
                }
                lastPath[level] = child;
                lastMembers[level] = m;
            }
            add(child);
            node = child;
        }
    }

    // Member order: by name (locale-aware, so "Almoço" sits among the A's),
    // or as first met in the data set's order.
    QCollator collator{QLocale(QLocale::Portuguese, QLocale::Brazil)};
    collator.setNumericMode(false);
    std::vector<int> columnOrder(columnCount);
    for (std::size_t c = 0; c < columnCount; ++c) columnOrder[c] = static_cast<int>(c);
    if (columnDim->order == TMemberOrder::ByName)
        std::stable_sort(columnOrder.begin(), columnOrder.end(), [&](int a, int b) {
            return collator.compare(columnsByIndex[a], columnsByIndex[b]) < 0;
        });
    for (int c : columnOrder) r.columns << columnsByIndex[c];
    for (auto& node : r.nodes) {
        std::vector<double> sorted(columnCount);
        for (std::size_t c = 0; c < columnCount; ++c) sorted[c] = node.sums[static_cast<std::size_t>(columnOrder[c])];
        node.sums.swap(sorted);
        const int childLevel = node.level + 1;
        if (node.children.empty() || rowDims[static_cast<std::size_t>(childLevel)]->order != TMemberOrder::ByName)
            continue;
        std::stable_sort(node.children.begin(), node.children.end(), [&](int a, int b) {
            return collator.compare(r.nodes[static_cast<std::size_t>(a)].member,
                                    r.nodes[static_cast<std::size_t>(b)].member) < 0;
        });
    }
    for (auto& node : r.nodes)
        for (std::size_t i = 0; i < node.children.size(); ++i)
            r.nodes[static_cast<std::size_t>(node.children[i])].row = static_cast<int>(i);
    result_ = std::move(r);
    active_ = true;
    emit changed();
}

}  // namespace hostfw
