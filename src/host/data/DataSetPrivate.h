#pragma once
// Internals shared by the data set's source files; not part of the framework's API.
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QVector>

#include <optional>
#include <vector>

namespace hostfw {

struct TClientDataSet::Row {
    quint64 id = 0;            // identity that survives sorting, edits and merges
    QVector<QVariant> values;  // one per field, calculated fields included
};

// A packet checked and converted to the fields' types, ready to replace the rows.
struct PreparedRows {
    struct NewField {
        QString name;
        TFieldType type;
        int size;
    };
    std::vector<NewField> newFields;
    std::vector<QVector<QVariant>> rows;  // sized to the fields after the new ones are added
};

struct TClientDataSet::Impl {
    explicit Impl(TClientDataSet* owner) : q(owner) {}

    TClientDataSet* q;
    std::vector<Row> rows;  // current rows, in index order
    std::vector<Row> base;  // rows as last loaded or merged
    QHash<quint64, int> baseIndex;
    bool baseIndexDirty = true;
    std::vector<quint64> changeOrder;  // rows in the order they were first changed
    QSet<quint64> changed;
    quint64 nextId = 1;

    // Edits are typed into the current row; these keep what it held before.
    QVector<QVariant> saved;
    bool insertPending = false;
    int returnRow = -1;  // current row before an insert, back to it on cancel
    bool modified = false;
    bool eof = true;
    bool bof = true;
    int activeOverride = -1;  // row read by fields instead of the current one
    QList<QPointer<TDataSource>> sources;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> updateDataHooks;

    int activeRow() const { return activeOverride >= 0 ? activeOverride : q->current_; }
    QVariant* slot(int fieldIndex);
    Row makeRow();
    void addFieldSlot();

    const Row* findBase(quint64 id);
    void putBase(const Row& row);
    void removeBase(quint64 id);
    void logChange(quint64 id);
    void clearLog();
    bool committedExists(int i) const { return !(insertPending && i == q->current_); }
    const QVector<QVariant>& committedValues(int i) const;
    bool sameData(const QVector<QVariant>& a, const QVector<QVariant>& b) const;
    std::vector<int> dataFieldIndexes() const;

    void checkActive() const;
    void insert(bool append);
    void discardEdit();
    void dropInsert();
    bool sortRows();
    void calcRow(int row);
    void calcAll();
    void afterMove(int oldRow);
    void notifyState();
    // Forgets every row and the change log (Close, CreateDataSet, EmptyDataSet).
    void dropAllRows();
    void dropAllRowsAndReport(TDataSetState state);
    void notifyData(TField* field);
    void setStateQuietly(TDataSetState state) noexcept;

    PreparedRows prepare(const protocol::json& packet) const;  // throws EHostError, changes nothing
    void apply(PreparedRows prepared);
    std::vector<protocol::Field> packetFields() const;
    protocol::Row packetRow(const QVector<QVariant>& values) const;
    protocol::ChangePacket changePacket();  // the change log
};

// Value conversions between the fields' types and pt-BR text (DataSetField.cpp)
// and the packets (DataSetPacket.cpp).
namespace fieldvalue {

QString label(const TField& field);  // display label, else the field name
[[noreturn]] void invalid(const TField& field, const QString& text);
QVariant canonical(const TField& field, const QVariant& value);  // throws EHostError
QString plainText(TFieldType type, const QVariant& value);       // AsString of a value
// A date typed in pt-BR forms; a null QDate for a blank text; nullopt when invalid.
std::optional<QDate> parseDate(const QString& text);
QDateTime dateTime(const QDate& date);
int compare(const QVariant& a, const QVariant& b, TFieldType type);

protocol::FieldType packetType(TFieldType type);
TFieldType fieldType(protocol::FieldType type);
protocol::Value toPacket(const QVariant& value, TFieldType type);
QVariant fromPacket(const protocol::Value& value, TFieldType type, const QString& fieldLabel);  // throws EHostError

} // namespace fieldvalue
} // namespace hostfw
