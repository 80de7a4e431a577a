// The data set's packet codec: data packets loaded into the fields' types,
// and the rows and the change log written out as protocol packets.
#include "host/data/DataSetPrivate.h"

#include "host/core/BrNumber.h"
#include "protocol/Dates.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hostfw {

namespace fieldvalue {

protocol::FieldType packetType(TFieldType type) {
    switch (type) {
    case TFieldType::ftString: return protocol::FieldType::String;
    case TFieldType::ftDateTime: return protocol::FieldType::Date;
    case TFieldType::ftFloat: return protocol::FieldType::Float;
    case TFieldType::ftInteger: return protocol::FieldType::Integer;
    }
    return protocol::FieldType::String;
}

TFieldType fieldType(protocol::FieldType type) {
    switch (type) {
    case protocol::FieldType::String: return TFieldType::ftString;
    case protocol::FieldType::Date: return TFieldType::ftDateTime;
    case protocol::FieldType::Float: return TFieldType::ftFloat;
    case protocol::FieldType::Integer: return TFieldType::ftInteger;
    }
    return TFieldType::ftString;
}

protocol::Value toPacket(const QVariant& value, TFieldType type) {
    if (value.isNull()) return nullptr;
    switch (type) {
    case TFieldType::ftString: return value.toString().toStdString();
    case TFieldType::ftDateTime: return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    case TFieldType::ftFloat: return value.toDouble();
    case TFieldType::ftInteger: return static_cast<std::int64_t>(value.toLongLong());
    }
    return nullptr;
}

QVariant fromPacket(const protocol::Value& value, TFieldType type, const QString& fieldLabel) {
    if (value.is_null()) return {};
    const auto bad = [&]() -> QVariant {
        throw EHostError(QStringLiteral("'%1' não é um valor válido para o campo %2.")
                             .arg(QString::fromStdString(value.dump()), fieldLabel));
    };
    switch (type) {
    case TFieldType::ftString:
        if (value.is_string()) return QString::fromStdString(value.get<std::string>());
        if (value.is_number_integer()) return QString::number(value.get<std::int64_t>());
        if (value.is_number()) return FormatPlain(value.get<double>());
        return bad();
    case TFieldType::ftDateTime: {
        if (!value.is_string()) return bad();
        const auto d = protocol::Date::parse(value.get<std::string>());
        if (!d) return bad();
        const QDate date(d->year, d->month, d->day);
        if (!date.isValid()) return bad();
        return dateTime(date);
    }
    case TFieldType::ftFloat:
        if (!value.is_number()) return bad();
        return value.get<double>();
    case TFieldType::ftInteger:
        if (value.is_number_unsigned()) {
            if (value.get<std::uint64_t>() > std::uint64_t(std::numeric_limits<std::int64_t>::max())) return bad();
            return static_cast<qlonglong>(value.get<std::uint64_t>());
        }
        if (value.is_number_integer()) return static_cast<qlonglong>(value.get<std::int64_t>());
        if (value.is_number_float()) {
            const double v = value.get<double>();
            if (v != std::trunc(v) || std::fabs(v) > 9.0e15) return bad();
            return static_cast<qlonglong>(v);
        }
        return bad();
    }
    return bad();
}

} // namespace fieldvalue

using namespace fieldvalue;

std::vector<protocol::Field> TClientDataSet::Impl::packetFields() const {
    std::vector<protocol::Field> out;
    for (int i : dataFieldIndexes()) {
        const TField* f = q->fields_[i];
        out.push_back({f->FieldName().toStdString(), packetType(f->DataType()), f->Size()});
    }
    return out;
}

protocol::Row TClientDataSet::Impl::packetRow(const QVector<QVariant>& values) const {
    protocol::Row row;
    for (int i : dataFieldIndexes()) row.push_back(toPacket(values.value(i), q->fields_[i]->DataType()));
    return row;
}

PreparedRows TClientDataSet::Impl::prepare(const protocol::json& packet) const {
    protocol::DataPacket p;
    try {
        p = protocol::DataPacket::fromJson(packet);
    } catch (const protocol::ProtocolError& e) {
        throw EHostError(QString::fromStdString(e.what()));
    } catch (const std::exception&) {
        throw EHostError(QStringLiteral("Pacote de dados inválido."));
    }
    PreparedRows out;
    struct Target {
        int index;
        TFieldType type;
        QString label;
    };
    std::vector<Target> targets;
    int count = q->fields_.size();
    for (const auto& pf : p.fields) {
        const QString name = QString::fromStdString(pf.name);
        if (const TField* f = q->FindField(name)) {
            targets.push_back({f->Index(), f->DataType(), label(*f)});
            continue;
        }
        // A name repeated in the packet is added once.
        const auto dup = std::find_if(out.newFields.begin(), out.newFields.end(), [&](const auto& nf) {
            return nf.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (dup != out.newFields.end()) {
            targets.push_back({int(q->fields_.size() + (dup - out.newFields.begin())), dup->type, name});
            continue;
        }
        out.newFields.push_back({name, fieldType(pf.type), pf.size});
        targets.push_back({count++, fieldType(pf.type), name});
    }
    out.rows.reserve(p.rows.size());
    for (const auto& pr : p.rows) {
        QVector<QVariant> values(count);
        for (size_t k = 0; k < targets.size(); ++k)
            values[targets[k].index] = fromPacket(pr[k], targets[k].type, targets[k].label);
        out.rows.push_back(std::move(values));
    }
    return out;
}

void TClientDataSet::Impl::apply(PreparedRows prepared) {
    const bool wasActive = q->Active();
    discardEdit();
    for (const auto& nf : prepared.newFields) q->AddField(nf.name, nf.type, nf.size);
    rows.clear();
    rows.reserve(prepared.rows.size());
    for (auto& values : prepared.rows) {
        Row r;
        r.id = nextId++;
        r.values = std::move(values);
        r.values.resize(q->fields_.size());
        rows.push_back(std::move(r));
    }
    base = rows;
    baseIndexDirty = true;
    clearLog();
    q->current_ = -1;
    sortRows();
    q->current_ = rows.empty() ? -1 : 0;
    bof = true;
    eof = rows.empty();
    emit q->rowsReset();
    emit q->rowsChanged();
    emit q->scrolled();
    // Loading a packet reopens the set: state listeners see it close and open.
    if (wasActive) q->setState(TDataSetState::dsInactive);
    q->setState(TDataSetState::dsBrowse);
    calcAll();
    notifyData(nullptr);
    if (!wasActive) {
        if (q->AfterOpen) q->AfterOpen(q);
        if (q->AfterScroll) q->AfterScroll(q);
    }
}

void TClientDataSet::SetData(const protocol::json& packet) { d->apply(d->prepare(packet)); }

void TClientDataSet::AdoptSavedRow(const protocol::json& packet) {
    d->checkActive();
    if (Editing() || ChangeCount() > 0 || current_ < 0) return;
    const protocol::DataPacket p = protocol::DataPacket::fromJson(packet);
    if (p.rows.empty()) return;
    Row& row = d->rows[current_];
    bool changed = false;
    for (size_t k = 0; k < p.fields.size(); ++k) {
        TField* f = FindField(QString::fromStdString(p.fields[k].name));
        if (!f || f->FieldKind() != TFieldKind::fkData) continue;
        const QVariant value = fromPacket(p.rows[0][k], f->DataType(), f->FieldName());
        if (row.values[f->Index()] == value) continue;
        row.values[f->Index()] = value;
        changed = true;
    }
    if (!changed) return;
    d->putBase(row);
    if (d->sortRows()) {
        emit rowsReset();
        emit scrolled();
    } else {
        emit rowUpdated(current_);
    }
    emit rowsChanged();
    d->notifyData(nullptr);
}

protocol::json TClientDataSet::Data() const {
    protocol::DataPacket packet;
    packet.fields = d->packetFields();
    for (int i = 0; i < RecordCount(); ++i)
        if (d->committedExists(i)) packet.rows.push_back(d->packetRow(d->committedValues(i)));
    return packet.toJson();
}

protocol::ChangePacket TClientDataSet::Impl::changePacket() {
    QHash<quint64, int> at;
    for (int i = 0; i < q->RecordCount(); ++i)
        if (committedExists(i)) at.insert(rows[i].id, i);
    protocol::ChangePacket packet;
    packet.fields = packetFields();
    for (quint64 id : changeOrder) {
        const Row* b = findBase(id);
        const int i = at.value(id, -1);
        if (!b && i >= 0) {
            packet.changes.push_back({protocol::ChangeKind::Insert, {}, packetRow(committedValues(i))});
        } else if (b && i >= 0) {
            if (!sameData(b->values, committedValues(i)))
                packet.changes.push_back(
                    {protocol::ChangeKind::Update, packetRow(b->values), packetRow(committedValues(i))});
        } else if (b) {
            packet.changes.push_back({protocol::ChangeKind::Delete, packetRow(b->values), {}});
        }
    }
    return packet;
}

protocol::json TClientDataSet::Delta() const { return d->changePacket().toJson(); }

int TClientDataSet::ChangeCount() const { return int(d->changePacket().changes.size()); }

} // namespace hostfw
