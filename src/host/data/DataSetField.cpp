// Fields of the client data set and the conversions of their values to and
// from pt-BR text and the packets.
#include "host/data/DataSetPrivate.h"

#include "protocol/Dates.h"

#include <QLocale>
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

QString floatText(double value) {
    // 15 significant digits hide binary noise (0.1 + 0.2 shows 0,3).
    return QString::number(value, 'g', 15).replace('.', ',');
}

QString plainText(TFieldType type, const QVariant& value) {
    if (value.isNull()) return {};
    switch (type) {
    case TFieldType::ftString: return value.toString();
    case TFieldType::ftDateTime: return value.toDateTime().date().toString(QStringLiteral("dd/MM/yyyy"));
    case TFieldType::ftFloat: return floatText(value.toDouble());
    case TFieldType::ftInteger: return QString::number(value.toLongLong());
    }
    return value.toString();
}

std::optional<double> parseNumber(const QString& text, bool integer) {
    // Dots only as well-placed thousands separators: "1.5" is refused rather
    // than guessed, since a pt-BR reader takes it for fifteen hundred-ish.
    static const QRegularExpression re(
        QStringLiteral("^([+-])?(\\d{1,3}(?:\\.\\d{3})+|\\d+)?(?:,(\\d+))?(?:[eE]([+-]?\\d{1,3}))?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    QString whole = m.captured(2);
    const QString frac = m.captured(3);
    if (whole.isEmpty() && frac.isEmpty()) return std::nullopt;
    if (integer && (!frac.isEmpty() || !m.captured(4).isEmpty())) return std::nullopt;
    whole.remove('.');
    QString c = m.captured(1) + (whole.isEmpty() ? QStringLiteral("0") : whole);
    if (!frac.isEmpty()) c += '.' + frac;
    if (!m.captured(4).isEmpty()) c += 'e' + m.captured(4);
    if (integer) {
        bool ok = false;
        const qlonglong v = c.toLongLong(&ok);
        if (!ok) return std::nullopt;
        return static_cast<double>(v);
    }
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
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
            s = floatText(value.toDouble());
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
            const auto p = parseNumber(value.toString(), false);
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
            const auto p = parseNumber(t, true);
            if (!p) invalid(field, t);
            return static_cast<qlonglong>(*p);
        }
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double v = value.toDouble();
            if (!std::isfinite(v) || v != std::trunc(v) || std::fabs(v) > 9.0e15) invalid(field, floatText(v));
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

// Digits of |value| rounded half away from zero to `decimals` places.
static void fixedDigits(double value, int decimals, QString& whole, QString& frac) {
    const QString e = QString::number(std::fabs(value), 'e', 14);  // d.dddddddddddddde±x
    const int ePos = e.indexOf('e');
    QString digits = e.left(ePos).remove('.');
    int point = e.mid(ePos + 1).toInt() + 1;
    if (point <= 0) {
        digits.prepend(QString(1 - point, '0'));
        point = 1;
    }
    if (point > digits.size()) digits.append(QString(point - digits.size(), '0'));
    if (digits.size() > point + decimals) {
        const bool up = digits[point + decimals] >= '5';
        digits.truncate(point + decimals);
        for (int i = digits.size() - 1; up && i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
                if (i == 0) {
                    digits.prepend('1');
                    ++point;
                }
            } else {
                digits[i] = QChar(digits[i].unicode() + 1);
                break;
            }
        }
    }
    digits.append(QString(point + decimals - digits.size(), '0'));
    whole = digits.left(point);
    frac = digits.mid(point);
    int lead = 0;
    while (lead < whole.size() && whole[lead] == '0') ++lead;
    whole = whole.mid(lead);
}

struct NumberPattern {
    QString prefix, suffix;
    bool hasDigits = false;
    bool thousands = false;
    int minInt = 0;
    int minDec = 0;
    int maxDec = 0;
};

static NumberPattern parsePattern(const QString& section) {
    NumberPattern p;
    enum { Before, Core, After } where = Before;
    bool afterPoint = false;
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        const bool placeholder = c == '0' || c == '#' || c == ',' || c == '.';
        if (placeholder && where != After) {
            where = Core;
            if (c == '.') {
                afterPoint = true;
            } else if (c == ',') {
                if (!afterPoint) p.thousands = true;
            } else if (afterPoint) {
                ++p.maxDec;
                if (c == '0') p.minDec = p.maxDec;
            } else if (c == '0') {
                ++p.minInt;
            }
            if (c == '0' || c == '#') p.hasDigits = true;
            continue;
        }
        QString literal;
        if (c == '"' || c == '\'') {
            const int end = section.indexOf(c, i + 1);
            literal = section.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? section.size() : end;
        } else {
            literal = c;
        }
        if (where == Before) {
            p.prefix += literal;
        } else {
            where = After;
            p.suffix += literal;
        }
    }
    return p;
}

static QStringList splitSections(const QString& format) {
    QStringList out;
    QString cur;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

QString formatNumber(double value, const QString& format) {
    const QStringList sections = splitSections(format);
    QString section = sections[0];
    bool sign = value < 0;
    if (value < 0 && sections.size() > 1 && !sections[1].isEmpty()) {
        section = sections[1];
        sign = false;
    }
    NumberPattern p = parsePattern(section);
    QString whole, frac;
    fixedDigits(value, p.maxDec, whole, frac);
    const bool zero = whole.isEmpty() && !frac.contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (zero && sections.size() > 2 && !sections[2].isEmpty()) {
        p = parsePattern(sections[2]);
        fixedDigits(0, p.maxDec, whole, frac);
        sign = false;
    }
    if (!p.hasDigits) return p.prefix + p.suffix;
    if (zero) sign = false;
    if (whole.size() < p.minInt) whole.prepend(QString(p.minInt - whole.size(), '0'));
    if (p.thousands)
        for (int i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, '.');
    while (frac.size() > p.minDec && frac.endsWith('0')) frac.chop(1);
    QString out = p.prefix + (sign ? QStringLiteral("-") : QString()) + whole;
    if (!frac.isEmpty()) out += ',' + frac;
    return out + p.suffix;
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
        if (value.is_number()) return floatText(value.get<double>());
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
        const auto p = parseNumber(v.toString(), false);
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
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(date, format);
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
    case TFieldType::ftInteger: return formatNumber(AsFloat(), DisplayFormat);
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
