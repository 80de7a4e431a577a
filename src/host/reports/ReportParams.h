#pragma once
// The parameter list of a report's query, as the report screen fills it
// before the query runs (BeforeGetQueryParams).
#include "host/core/HostExport.h"
#include "host/reports/ReportLayout.h"

#include <QDate>
#include <QDateTime>
#include <QVariant>

#include <optional>
#include <string>
#include <vector>

namespace hostfw {

class HOSTFW_EXPORT TReportParam {
public:
    TReportParam(QString name, TReportParamType type) : name_(std::move(name)), type_(type) {}

    const QString& Name() const { return name_; }
    TReportParamType Type() const { return type_; }
    const QVariant& Value() const { return value_; }  // null QVariant: SQL null

    void SetAsString(const QString& value) { value_ = value; }
    void SetAsDate(const QDate& value) { value_ = value.isValid() ? QVariant(value) : QVariant(); }
    void SetAsDateTime(const QDateTime& value) { value_ = value.isValid() ? QVariant(value) : QVariant(); }
    void SetValue(const QVariant& value) { value_ = value; }
    void Clear() { value_ = QVariant(); }
    bool IsNull() const { return value_.isNull(); }
    QString AsString() const { return value_.toString(); }

    // The value as the query receives it: dates as "YYYY-MM-DD" (with the
    // time when there is one); nullopt is null. Throws EHostError when a date
    // parameter holds text that is not a date.
    std::optional<std::string> boundText() const;

private:
    QString name_;
    TReportParamType type_;
    QVariant value_;
};

class HOSTFW_EXPORT TReportParams {
public:
    TReportParams() = default;
    explicit TReportParams(const std::vector<TReportParamDef>& declared);

    // Names match whatever their letter case.
    bool ExistParam(const QString& name) const;
    // Throws EHostError when the query declares no such parameter.
    TReportParam& ParamByName(const QString& name);
    const TReportParam* Find(const QString& name) const;

    int Count() const { return static_cast<int>(params_.size()); }
    const TReportParam& operator[](int i) const { return params_.at(static_cast<size_t>(i)); }

private:
    std::vector<TReportParam> params_;
};

}  // namespace hostfw
