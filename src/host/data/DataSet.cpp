// The client data set: rows in memory, states and record events in the
// classic order, and a change log kept as base rows against current rows.
#include "host/data/DataSetPrivate.h"

#include <algorithm>

namespace hostfw {

using namespace fieldvalue;

namespace {
template <typename F>
struct Finally {
    F f;
    ~Finally() { f(); }
};
template <typename F>
Finally(F) -> Finally<F>;

EHostError closedError() { return EHostError(QStringLiteral("Operação não permitida em um conjunto de dados fechado.")); }

QStringList splitNames(const QString& names) {
    QStringList out;
    for (const QString& n : names.split(';'))
        if (!n.trimmed().isEmpty()) out << n.trimmed();
    return out;
}
} // namespace

// ---- Impl: rows, log and notifications ------------------------------------

QVariant* TClientDataSet::Impl::slot(int fieldIndex) {
    const int row = activeRow();
    if (row < 0 || row >= int(rows.size()) || fieldIndex < 0 || fieldIndex >= rows[row].values.size()) return nullptr;
    return &rows[row].values[fieldIndex];
}

TClientDataSet::Row TClientDataSet::Impl::makeRow() {
    Row r;
    r.id = nextId++;
    r.values.resize(q->fields_.size());
    return r;
}

void TClientDataSet::Impl::addFieldSlot() {
    for (auto& r : rows) r.values.append(QVariant());
    for (auto& r : base) r.values.append(QVariant());
    if (!saved.isEmpty()) saved.append(QVariant());
}

const TClientDataSet::Row* TClientDataSet::Impl::findBase(quint64 id) {
    if (baseIndexDirty) {
        baseIndex.clear();
        for (int i = 0; i < int(base.size()); ++i) baseIndex.insert(base[i].id, i);
        baseIndexDirty = false;
    }
    const auto it = baseIndex.constFind(id);
    return it == baseIndex.constEnd() ? nullptr : &base[*it];
}

void TClientDataSet::Impl::putBase(const Row& row) {
    findBase(row.id);  // refresh the index
    const auto it = baseIndex.constFind(row.id);
    if (it != baseIndex.constEnd()) {
        base[*it] = row;
    } else {
        base.push_back(row);
        baseIndex.insert(row.id, int(base.size()) - 1);
    }
}

void TClientDataSet::Impl::removeBase(quint64 id) {
    const auto it = std::find_if(base.begin(), base.end(), [id](const Row& r) { return r.id == id; });
    if (it == base.end()) return;
    base.erase(it);
    baseIndexDirty = true;
}

void TClientDataSet::Impl::logChange(quint64 id) {
    if (changed.contains(id)) return;
    changed.insert(id);
    changeOrder.push_back(id);
}

void TClientDataSet::Impl::clearLog() {
    changeOrder.clear();
    changed.clear();
}

const QVector<QVariant>& TClientDataSet::Impl::committedValues(int i) const {
    // The row being edited counts with what it held before the edit.
    if (q->state_ == TDataSetState::dsEdit && i == q->current_ && !saved.isEmpty()) return saved;
    return rows[i].values;
}

std::vector<int> TClientDataSet::Impl::dataFieldIndexes() const {
    std::vector<int> out;
    for (int i = 0; i < q->fields_.size(); ++i)
        if (q->fields_[i]->FieldKind() == TFieldKind::fkData) out.push_back(i);
    return out;
}

bool TClientDataSet::Impl::sameData(const QVector<QVariant>& a, const QVector<QVariant>& b) const {
    for (int i : dataFieldIndexes())
        if (compare(a.value(i), b.value(i), q->fields_[i]->DataType()) != 0) return false;
    return true;
}

void TClientDataSet::Impl::checkActive() const {
    if (!q->Active()) throw closedError();
}

void TClientDataSet::Impl::notifyState() {
    const auto list = sources;
    for (const auto& s : list)
        if (s && s->OnStateChange) s->OnStateChange(s);
}

void TClientDataSet::Impl::notifyData(TField* field) {
    emit q->dataChanged(field);
    const auto list = sources;
    for (const auto& s : list)
        if (s && s->OnDataChange) s->OnDataChange(s, field);
}

void TClientDataSet::Impl::setStateQuietly(TDataSetState state) noexcept {
    // Used while a failure is already on its way: a second one is dropped.
    try {
        q->setState(state);
    } catch (...) {
    }
}

void TClientDataSet::Impl::dropInsert() {
    if (!insertPending) return;
    const int at = q->current_;
    if (at >= 0 && at < int(rows.size())) rows.erase(rows.begin() + at);
    insertPending = false;
    saved.clear();
    modified = false;
    const int n = int(rows.size());
    q->current_ = n == 0 ? -1 : std::clamp(returnRow, 0, n - 1);
    eof = bof = n == 0;
}

void TClientDataSet::Impl::discardEdit() {
    if (insertPending) {
        dropInsert();
    } else if (q->state_ == TDataSetState::dsEdit && !saved.isEmpty() && q->current_ >= 0 &&
               q->current_ < int(rows.size())) {
        rows[q->current_].values = saved;
    }
    saved.clear();
    modified = false;
}

bool TClientDataSet::Impl::sortRows() {
    const QStringList names = splitNames(q->indexFieldNames_);
    std::vector<std::pair<int, TFieldType>> keys;
    for (const QString& n : names)
        if (TField* f = q->FindField(n)) keys.emplace_back(f->Index(), f->DataType());
    if (keys.empty() || rows.size() < 2) return false;
    const quint64 currentId = q->current_ >= 0 && q->current_ < int(rows.size()) ? rows[q->current_].id : 0;
    std::vector<quint64> before;
    before.reserve(rows.size());
    for (const auto& r : rows) before.push_back(r.id);
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        for (const auto& [i, type] : keys) {
            const int c = compare(a.values.value(i), b.values.value(i), type);
            if (c != 0) return c < 0;
        }
        return false;
    });
    bool moved = false;
    for (int i = 0; i < int(rows.size()); ++i) {
        if (rows[i].id != before[i]) moved = true;
        if (rows[i].id == currentId) q->current_ = i;
    }
    return moved;
}

void TClientDataSet::Impl::calcRow(int row) {
    if (row < 0 || row >= int(rows.size())) return;
    bool any = false;
    for (int i = 0; i < q->fields_.size(); ++i)
        if (q->fields_[i]->FieldKind() == TFieldKind::fkCalculated) {
            rows[row].values[i] = QVariant();
            any = true;
        }
    if (!any || !q->OnCalcFields) return;
    // A temporary state: controls are not told about it.
    const TDataSetState oldState = q->state_;
    const int oldOverride = activeOverride;
    q->state_ = TDataSetState::dsCalcFields;
    activeOverride = row;
    Finally restore{[&] {
        q->state_ = oldState;
        activeOverride = oldOverride;
    }};
    q->OnCalcFields(q);
}

void TClientDataSet::Impl::calcAll() {
    for (int i = 0; i < int(rows.size()); ++i) calcRow(i);
}

void TClientDataSet::Impl::afterMove(int oldRow) {
    if (q->current_ != oldRow) {
        calcRow(q->current_);
        emit q->scrolled();
        notifyData(nullptr);
    }
    if (q->AfterScroll) q->AfterScroll(q);
}

void TClientDataSet::Impl::insert(bool append) {
    checkActive();
    q->CheckBrowseMode();
    if (q->BeforeInsert) q->BeforeInsert(q);
    if (q->BeforeScroll) q->BeforeScroll(q);
    checkActive();
    q->CheckBrowseMode();  // a handler may have started an edit
    const int before = q->current_;
    const int at = append || rows.empty() ? int(rows.size()) : std::max(0, q->current_);
    emit q->rowAboutToBeInserted(at);
    rows.insert(rows.begin() + at, makeRow());
    q->current_ = at;
    insertPending = true;
    returnRow = before;
    saved.clear();
    modified = false;
    eof = bof = false;
    emit q->rowInserted(at);
    emit q->rowsChanged();
    emit q->scrolled();
    try {
        q->setState(TDataSetState::dsInsert);
        if (q->OnNewRecord) q->OnNewRecord(q);
        if (q->state_ == TDataSetState::dsInsert) calcRow(q->current_);
    } catch (...) {
        // Refused (a state handler or OnNewRecord threw): no new row stays.
        if (insertPending) {
            const int dropped = q->current_;
            emit q->rowAboutToBeRemoved(dropped);
            dropInsert();
            emit q->rowRemoved(dropped);
            setStateQuietly(TDataSetState::dsBrowse);
            emit q->rowsChanged();
            emit q->scrolled();
        }
        throw;
    }
    modified = false;  // defaults of OnNewRecord are not the user's
    notifyData(nullptr);
    if (q->AfterInsert) q->AfterInsert(q);
    if (q->AfterScroll) q->AfterScroll(q);
}

// ---- TClientDataSet --------------------------------------------------------

TClientDataSet::TClientDataSet(QObject* owner, const QString& name) : QObject(owner), d(std::make_unique<Impl>(this)) {
    if (!name.isEmpty()) setObjectName(name);
}

TClientDataSet::~TClientDataSet() { d->sources.clear(); }

TField* TClientDataSet::AddField(const QString& name, TFieldType type, int size, TFieldKind kind) {
    return new TField(this, name, type, size, kind);
}

TField* TClientDataSet::FindField(const QString& name) const {
    const QString n = name.trimmed();
    for (TField* f : fields_)
        if (f->FieldName().compare(n, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField* TClientDataSet::FieldByName(const QString& name) const {
    if (TField* f = FindField(name)) return f;
    throw EHostError(QStringLiteral("Campo '%1' não encontrado.").arg(name));
}

void TClientDataSet::setState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    emit stateChanged();
    d->notifyState();
}

bool TClientDataSet::Modified() const { return Editing() && d->modified; }

void TClientDataSet::Open() {
    if (Active()) return;
    d->sortRows();
    current_ = d->rows.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->rows.empty();
    emit rowsReset();
    emit rowsChanged();
    emit scrolled();
    setState(TDataSetState::dsBrowse);
    d->calcAll();
    d->notifyData(nullptr);
    if (AfterOpen) AfterOpen(this);
    if (AfterScroll) AfterScroll(this);
}

void TClientDataSet::Impl::dropAllRows() {
    rows.clear();
    base.clear();
    baseIndexDirty = true;
    clearLog();
}

void TClientDataSet::Impl::dropAllRowsAndReport(TDataSetState state) {
    discardEdit();
    dropAllRows();
    q->current_ = -1;
    eof = bof = true;
    emit q->rowsReset();
    emit q->rowsChanged();
    emit q->scrolled();
    q->setState(state);
}

void TClientDataSet::Close() {
    if (!Active()) return;
    d->dropAllRowsAndReport(TDataSetState::dsInactive);
    if (AfterClose) AfterClose(this);
}

void TClientDataSet::CreateDataSet() {
    if (!Active()) {
        d->dropAllRows();
        Open();
        return;
    }
    EmptyDataSet();
}

void TClientDataSet::EmptyDataSet() {
    d->checkActive();
    d->dropAllRowsAndReport(TDataSetState::dsBrowse);
    d->notifyData(nullptr);
}

bool TClientDataSet::IsEmpty() const { return d->rows.empty(); }

int TClientDataSet::RecordCount() const { return int(d->rows.size()); }

int TClientDataSet::RecNo() const { return Active() && current_ >= 0 ? current_ + 1 : 0; }

void TClientDataSet::MoveTo(int recNo) {
    d->checkActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    const int old = current_;
    const int n = RecordCount();
    if (n > 0) {
        current_ = std::clamp(recNo - 1, 0, n - 1);
        d->eof = d->bof = false;
    }
    d->afterMove(old);
}

void TClientDataSet::First() {
    d->checkActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    const int old = current_;
    current_ = IsEmpty() ? -1 : 0;
    d->bof = true;
    d->eof = IsEmpty();
    d->afterMove(old);
}

void TClientDataSet::Last() {
    d->checkActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    const int old = current_;
    current_ = RecordCount() - 1;
    d->eof = true;
    d->bof = IsEmpty();
    d->afterMove(old);
}

void TClientDataSet::Next() {
    d->checkActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    const int old = current_;
    if (current_ + 1 < RecordCount()) {
        ++current_;
        d->eof = d->bof = false;
    } else {
        d->eof = true;
        d->bof = IsEmpty();
    }
    d->afterMove(old);
}

void TClientDataSet::Prior() {
    d->checkActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    const int old = current_;
    if (current_ > 0) {
        --current_;
        d->eof = d->bof = false;
    } else {
        d->bof = true;
        d->eof = IsEmpty();
    }
    d->afterMove(old);
}

bool TClientDataSet::Eof() const { return IsEmpty() || d->eof; }

bool TClientDataSet::Bof() const { return IsEmpty() || d->bof; }

bool TClientDataSet::Locate(const QString& fieldNames, const QVariantList& values, bool caseInsensitive) {
    d->checkActive();
    CheckBrowseMode();
    const QStringList names = splitNames(fieldNames);
    if (names.isEmpty() || names.size() != values.size())
        throw EHostError(QStringLiteral("Número de valores diferente do número de campos da pesquisa."));
    std::vector<std::pair<TField*, QVariant>> keys;
    for (int i = 0; i < names.size(); ++i) {
        TField* f = FieldByName(names[i]);
        try {
            keys.emplace_back(f, canonical(*f, values[i]));
        } catch (const EHostError&) {
            return false;  // a value the field cannot hold matches no row
        }
    }
    const auto cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int r = 0; r < RecordCount(); ++r) {
        bool match = true;
        for (const auto& [f, v] : keys) {
            const QVariant& have = d->rows[r].values.value(f->Index());
            if (f->DataType() == TFieldType::ftString)
                match = have.toString().compare(v.toString(), cs) == 0;
            else
                match = compare(have, v, f->DataType()) == 0;
            if (!match) break;
        }
        if (!match) continue;
        if (BeforeScroll) BeforeScroll(this);
        const int old = current_;
        if (r < RecordCount()) {
            current_ = r;
            d->eof = d->bof = false;
        }
        d->afterMove(old);
        return true;
    }
    return false;
}

void TClientDataSet::Insert() { d->insert(false); }

void TClientDataSet::Append() { d->insert(true); }

void TClientDataSet::Edit() {
    d->checkActive();
    if (Editing()) return;
    if (IsEmpty()) {
        Insert();
        return;
    }
    if (BeforeEdit) BeforeEdit(this);
    if (Editing() || IsEmpty() || current_ < 0) return;
    d->saved = d->rows[current_].values;
    d->modified = false;
    try {
        setState(TDataSetState::dsEdit);
    } catch (...) {
        d->discardEdit();
        d->setStateQuietly(TDataSetState::dsBrowse);
        throw;
    }
    d->notifyData(nullptr);
    if (AfterEdit) AfterEdit(this);
}

void TClientDataSet::AddUpdateDataHook(QObject* owner, std::function<void()> hook) {
    d->updateDataHooks.emplace_back(QPointer<QObject>(owner), std::move(hook));
}

void TClientDataSet::RemoveUpdateDataHooks(QObject* owner) {
    auto& hooks = d->updateDataHooks;
    hooks.erase(std::remove_if(hooks.begin(), hooks.end(), [owner](const auto& h) { return h.first == owner || !h.first; }),
                hooks.end());
}

void TClientDataSet::Post() {
    d->checkActive();
    if (!Editing()) return;
    const auto hooks = d->updateDataHooks;
    for (const auto& [owner, hook] : hooks)
        if (owner && Editing()) hook();
    if (!Editing()) return;
    if (BeforePost) BeforePost(this);
    if (!Editing() || current_ < 0 || current_ >= RecordCount()) return;
    for (TField* f : fields_) {
        if (!f->Required || f->FieldKind() != TFieldKind::fkData) continue;
        const QVariant v = d->rows[current_].values.value(f->Index());
        if (v.isNull() || (f->DataType() == TFieldType::ftString && v.toString().isEmpty()))
            throw EHostError(QStringLiteral("Campo '%1' deve ser informado.").arg(label(*f)));
    }
    const Row& row = d->rows[current_];
    if (LogChanges) d->logChange(row.id);
    else d->putBase(row);
    d->insertPending = false;
    d->saved.clear();
    d->modified = false;
    const bool moved = d->sortRows();
    d->calcRow(current_);
    setState(TDataSetState::dsBrowse);
    if (moved) emit rowsReset();
    else emit rowUpdated(current_);
    emit rowsChanged();
    if (moved) emit scrolled();
    d->notifyData(nullptr);
    if (AfterPost) AfterPost(this);
}

void TClientDataSet::Cancel() {
    if (!Editing()) return;
    if (BeforeCancel) BeforeCancel(this);
    if (!Editing()) return;
    const bool wasInsert = d->insertPending;
    const int row = current_;
    if (wasInsert) emit rowAboutToBeRemoved(row);
    d->discardEdit();
    if (wasInsert) emit rowRemoved(row);
    d->calcRow(current_);
    setState(TDataSetState::dsBrowse);
    if (!wasInsert) emit rowUpdated(current_);
    emit rowsChanged();
    if (wasInsert) emit scrolled();
    d->notifyData(nullptr);
    if (AfterCancel) AfterCancel(this);
}

void TClientDataSet::Delete() {
    d->checkActive();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (IsEmpty()) throw EHostError(QStringLiteral("Operação não permitida em um conjunto de dados vazio."));
    if (BeforeDelete) BeforeDelete(this);
    if (BeforeScroll) BeforeScroll(this);
    if (!Active() || IsEmpty() || current_ < 0 || state_ == TDataSetState::dsInsert) return;
    d->discardEdit();
    const int removed = current_;
    const quint64 id = d->rows[current_].id;
    emit rowAboutToBeRemoved(removed);
    d->rows.erase(d->rows.begin() + current_);
    if (LogChanges) d->logChange(id);
    else d->removeBase(id);
    const int n = RecordCount();
    current_ = n == 0 ? -1 : std::min(current_, n - 1);
    d->eof = d->bof = n == 0;
    emit rowRemoved(removed);
    d->calcRow(current_);
    setState(TDataSetState::dsBrowse);
    emit rowsChanged();
    emit scrolled();
    d->notifyData(nullptr);
    if (AfterDelete) AfterDelete(this);
    if (AfterScroll) AfterScroll(this);
}

void TClientDataSet::CheckBrowseMode() {
    d->checkActive();
    if (Editing()) Post();
}

bool TClientDataSet::InsertedRowUntouched() const { return state_ == TDataSetState::dsInsert && !d->modified; }

void TClientDataSet::MarkInsertedRowUntouched() {
    if (state_ == TDataSetState::dsInsert) d->modified = false;
}


void TClientDataSet::MergeChangeLog() {
    d->base.clear();
    for (int i = 0; i < RecordCount(); ++i)
        if (d->committedExists(i)) d->base.push_back({d->rows[i].id, d->committedValues(i)});
    d->baseIndexDirty = true;
    d->clearLog();
}

void TClientDataSet::CancelUpdates() {
    if (!Active()) return;
    d->discardEdit();
    const int keep = current_;
    d->rows = d->base;
    d->clearLog();
    current_ = -1;
    d->sortRows();
    const int n = RecordCount();
    current_ = n == 0 ? -1 : std::clamp(keep, 0, n - 1);
    d->eof = d->bof = n == 0;
    emit rowsReset();
    emit rowsChanged();
    emit scrolled();
    setState(TDataSetState::dsBrowse);
    d->calcAll();
    d->notifyData(nullptr);
}

void TClientDataSet::SetIndexFieldNames(const QString& names) {
    for (const QString& n : splitNames(names)) FieldByName(n);
    indexFieldNames_ = names;
    // A row being typed keeps its place until it is posted.
    if (!Active() || Editing()) return;
    if (d->sortRows()) {
        emit rowsReset();
        emit rowsChanged();
        emit scrolled();
    }
}

// ---- Row access for controls ----------------------------------------------

QVariant TClientDataSet::ValueAt(int row, int fieldIndex) const {
    if (row < 0 || row >= RecordCount() || fieldIndex < 0 || fieldIndex >= fields_.size()) return {};
    return d->rows[row].values.value(fieldIndex);
}

QString TClientDataSet::DisplayTextAt(int row, int fieldIndex) const {
    if (row < 0 || row >= RecordCount() || fieldIndex < 0 || fieldIndex >= fields_.size()) return {};
    const int old = d->activeOverride;
    d->activeOverride = row;
    Finally restore{[&] { d->activeOverride = old; }};
    return fields_[fieldIndex]->DisplayText();
}

} // namespace hostfw
