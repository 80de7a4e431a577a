// Fields of the client data set and the conversions of their values to and
// from pt-BR text (numbers are written and read by host/core/BrNumber).
#include "host/data/DataSetPrivate.h"

#include "host/core/BrNumber.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace hostfw {
namespace fieldvalue {

QString label(const TField& field) {
    return field.DisplayLabel.isEmpty() ? field.FieldName() : field.DisplayLabel;
}

void invalid(const TField& field, const QString& text) {
    throw EHostError(QStringLiteral("'%1' não é um valor válido para o campo %2.").arg(text, label(field)));
}

QDateTime dateTime(const QDate& date) { return QDateTime(date, QTime(0, 0)); }

QString plainText(TFieldType type, const QVariant& value) {
    if (value.isNull()) return {};
    switch (type) {
    case TFieldType::ftString: return value.toString();
    case TFieldType::ftDateTime: return value.toDateTime().date().toString(QStringLiteral("dd/MM/yyyy"));
    case TFieldType::ftFloat: return FormatPlain(value.toDouble());
    case TFieldType::ftInteger: return QString::number(value.toLongLong());
    }
    return value.toString();
}

static int expandYear(int twoDigits) {
    // Two-digit years fall within fifty years of today.
    const int now = QDate::currentDate().year();
    int year = now / 100 * 100 + twoDigits;
    if (year > now + 50) year -= 100;
    else if (year <= now - 50) year += 100;
    return year;
}

std::optional<QDate> parseDate(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression blank(QStringLiteral("^[\\s/.\\-_]*$"));
    if (blank.match(t).hasMatch()) return QDate();
    static const QRegularExpression sep(QStringLiteral("^(\\d{1,2})[/.\\-](\\d{1,2})(?:[/.\\-](\\d{4}|\\d{2}))?$"));
    static const QRegularExpression packed(QStringLiteral("^(\\d{2})(\\d{2})(\\d{4}|\\d{2})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T\\d{2}:\\d{2}:\\d{2})?$"));
    int d = 0, mo = 0, y = 0;
    QString yearText;
    if (auto m = iso.match(t); m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
    } else if (auto m1 = sep.match(t); m1.hasMatch()) {
        d = m1.captured(1).toInt();
        mo = m1.captured(2).toInt();
        yearText = m1.captured(3);
    } else if (auto m2 = packed.match(t); m2.hasMatch()) {
        d = m2.captured(1).toInt();
        mo = m2.captured(2).toInt();
        yearText = m2.captured(3);
    } else {
        return std::nullopt;
    }
    if (y == 0) {
        if (yearText.isEmpty()) y = QDate::currentDate().year();
        else if (yearText.size() == 2) y = expandYear(yearText.toInt());
        else y = yearText.toInt();
    }
    if (y < 1 || y > 9999) return std::nullopt;
    const QDate date(y, mo, d);
    if (!date.isValid()) return std::nullopt;
    return date;
}

static qsizetype characters(const QString& s) { return s.toUcs4().size(); }

QVariant canonical(const TField& field, const QVariant& value) {
    if (!value.isValid() || value.isNull()) return {};
    const int id = value.metaType().id();
    const bool isText = id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
    switch (field.DataType()) {
    case TFieldType::ftString: {
        QString s;
        if (id == QMetaType::QDate || id == QMetaType::QDateTime)
            s = plainText(TFieldType::ftDateTime, QVariant(dateTime(value.toDate())));
        else if (id == QMetaType::Double || id == QMetaType::Float)
            s = FormatPlain(value.toDouble());
        else
            s = value.toString();
        // An empty text is a null value, as typing nothing is.
        if (s.isEmpty()) return {};
        if (field.Size() > 0 && characters(s) > field.Size())
            throw EHostError(QStringLiteral("O valor '%1' excede o tamanho do campo %2 (%3 caracteres).")
                                 .arg(s, label(field))
                                 .arg(field.Size()));
        return s;
    }
    case TFieldType::ftDateTime: {
        if (id == QMetaType::QDateTime) {
            const QDateTime dt = value.toDateTime();
            if (!dt.isValid()) return {};
            return dateTime(dt.date());
        }
        if (id == QMetaType::QDate) {
            const QDate d = value.toDate();
            if (!d.isValid()) return {};
            return dateTime(d);
        }
        if (isText) {
            const auto d = parseDate(value.toString());
            if (!d) invalid(field, value.toString());
            if (d->isNull()) return {};
            return dateTime(*d);
        }
        invalid(field, value.toString());
    }
    case TFieldType::ftFloat: {
        double v = 0;
        if (isText) {
            if (value.toString().trimmed().isEmpty()) return {};
            const auto p = ParseBrNumber(value.toString(), false);
            if (!p) invalid(field, value.toString());
            v = *p;
        } else if (id == QMetaType::Bool || !value.canConvert<double>()) {
            invalid(field, value.toString());
        } else {
            v = value.toDouble();
        }
        if (!std::isfinite(v)) invalid(field, value.toString());
        return v;
    }
    case TFieldType::ftInteger: {
        if (isText) {
            const QString t = value.toString();
            if (t.trimmed().isEmpty()) return {};
            const auto p = ParseBrNumber(t, true);
            if (!p) invalid(field, t);
            return static_cast<qlonglong>(*p);
        }
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double v = value.toDouble();
            if (!std::isfinite(v) || v != std::trunc(v) || std::fabs(v) > 9.0e15) invalid(field, FormatPlain(v));
            return static_cast<qlonglong>(v);
        }
        if (id == QMetaType::Bool || !value.canConvert<qlonglong>()) invalid(field, value.toString());
        if (id == QMetaType::ULongLong && value.toULongLong() > quint64(std::numeric_limits<qlonglong>::max()))
            invalid(field, value.toString());
        return value.toLongLong();
    }
    }
    return {};
}

int compare(const QVariant& a, const QVariant& b, TFieldType type) {
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    switch (type) {
    case TFieldType::ftString: {
        const int c = a.toString().compare(b.toString(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case TFieldType::ftDateTime: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    case TFieldType::ftFloat: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    case TFieldType::ftInteger: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    }
    return 0;
}

} // namespace fieldvalue

using namespace fieldvalue;

TField::TField(TClientDataSet* dataSet, const QString& fieldName, TFieldType type, int size, TFieldKind kind)
    : QObject(dataSet), dataSet_(dataSet), type_(type), size_(size < 0 ? 0 : size), kind_(kind) {
    setObjectName(fieldName);
    if (!dataSet) return;
    if (fieldName.trimmed().isEmpty()) throw EHostError(QStringLiteral("Nome de campo vazio."));
    if (dataSet->FindField(fieldName)) throw EHostError(QStringLiteral("Campo '%1' já existe.").arg(fieldName));
    dataSet->d->addFieldSlot();
    dataSet->fields_.append(this);
}

int TField::Index() const { return dataSet_ ? static_cast<int>(dataSet_->fields_.indexOf(const_cast<TField*>(this))) : -1; }

QVariant TField::Value() const {
    if (!dataSet_) return {};
    const QVariant* s = dataSet_->d->slot(Index());
    return s ? *s : QVariant();
}

bool TField::IsNull() const { return Value().isNull(); }

QVariant TField::OldValue() const {
    if (!dataSet_) return {};
    auto& d = *dataSet_->d;
    const int row = d.activeRow();
    if (row < 0 || row >= int(d.rows.size())) return {};
    const auto* b = d.findBase(d.rows[row].id);
    return b ? b->values.value(Index()) : QVariant();
}

void TField::SetValue(const QVariant& value) {
    const auto notEditing = [] { return EHostError(QStringLiteral("O conjunto de dados não está em modo de edição.")); };
    if (!dataSet_) throw notEditing();
    const TDataSetState st = dataSet_->state_;
    const bool calcing = st == TDataSetState::dsCalcFields;
    if (!(dataSet_->Editing() || (calcing && kind_ == TFieldKind::fkCalculated))) throw notEditing();
    const QVariant v = canonical(*this, value);
    auto& d = *dataSet_->d;
    const int index = Index();
    QVariant* s = d.slot(index);
    if (!s) throw notEditing();
    if (calcing) {
        *s = v;
        return;
    }
    const QVariant old = *s;
    *s = v;
    if (OnValidate) {
        try {
            OnValidate(this);
        } catch (...) {
            if (QVariant* again = d.slot(index)) *again = old;
            throw;
        }
    }
    d.modified = true;
    if (kind_ == TFieldKind::fkData && dataSet_->Editing()) d.calcRow(d.activeRow());
    if (OnChange) OnChange(this);
    d.notifyData(this);
}

QString TField::AsString() const { return plainText(type_, Value()); }

void TField::SetAsString(const QString& text) { SetValue(text); }

double TField::AsFloat() const {
    const QVariant v = Value();
    if (v.isNull()) return 0;
    switch (type_) {
    case TFieldType::ftFloat: return v.toDouble();
    case TFieldType::ftInteger: return static_cast<double>(v.toLongLong());
    case TFieldType::ftDateTime: return static_cast<double>(QDate(1899, 12, 30).daysTo(v.toDateTime().date()));
    case TFieldType::ftString: {
        const auto p = ParseBrNumber(v.toString(), false);
        if (!p) invalid(*this, v.toString());
        return *p;
    }
    }
    return 0;
}

int TField::AsInteger() const {
    if (IsNull()) return 0;
    const double v = std::round(AsFloat());  // halves away from zero
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) invalid(*this, AsString());
    return static_cast<int>(v);
}

QDateTime TField::AsDateTime() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    switch (type_) {
    case TFieldType::ftDateTime: return v.toDateTime();
    case TFieldType::ftString: {
        const auto d = parseDate(v.toString());
        if (!d) invalid(*this, v.toString());
        return d->isNull() ? QDateTime() : dateTime(*d);
    }
    case TFieldType::ftFloat:
    case TFieldType::ftInteger: return dateTime(QDate(1899, 12, 30).addDays(static_cast<qint64>(AsFloat())));
    }
    return {};
}

static QString formatDate(const QDate& date, QString format) {
    // Formats of the host platform write months with 'm'; Qt with 'M'.
    format.replace('m', 'M');
    return brazilLocale().toString(date, format);
}

QString TField::DisplayText() const {
    if (OnGetText) {
        QString text;
        OnGetText(const_cast<TField*>(this), text, true);
        return text;
    }
    const QVariant v = Value();
    if (v.isNull() || DisplayFormat.isEmpty()) return plainText(type_, v);
    switch (type_) {
    case TFieldType::ftFloat:
    case TFieldType::ftInteger: return FormatFloat(DisplayFormat, AsFloat());
    case TFieldType::ftDateTime: return formatDate(v.toDateTime().date(), DisplayFormat);
    case TFieldType::ftString: break;
    }
    return plainText(type_, v);
}

QString TField::Text() const {
    if (OnGetText) {
        QString text;
        OnGetText(const_cast<TField*>(this), text, false);
        return text;
    }
    return AsString();
}

void TField::SetText(const QString& text) {
    if (OnSetText) OnSetText(this, text);
    else SetAsString(text);
}

void TField::FocusControl() {
    if (dataSet_) emit dataSet_->focusFieldRequested(this);
}

} // namespace hostfw
