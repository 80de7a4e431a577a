#pragma once
// A catalogue query on the host database: one SQL text per dialect, named
// parameters set as strings or null, rows loaded into the data set it is.
#include "host/data/DataSet.h"
#include "host/core/HostExport.h"

#include <QStringList>

namespace hostfw {

class HOSTFW_EXPORT TParam {
public:
    explicit TParam(QString name) : name_(std::move(name)) {}
    const QString& Name() const { return name_; }
    void SetAsString(const QString& value) { value_ = value; null_ = false; }
    void Clear() { null_ = true; value_.clear(); }
    bool IsNull() const { return null_; }
    const QString& AsString() const { return value_; }
    void operator=(const QString& value) { SetAsString(value); }

private:
    QString name_;
    QString value_;
    bool null_ = true;
};

class HOSTFW_EXPORT TADOIBQuery : public TClientDataSet {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* owner, const QString& name = QString());
    ~TADOIBQuery() override;

    QStringList SQL;         // generic dialect: the one run on SQLite and PostgreSQL
    QStringList SQL_ORACLE;
    QStringList SQL_MSSQL;
    QStringList SQL_IB;

    // The parameter of that name; created on first use.
    TParam& ParamByName(const QString& name);
    // Runs the text of the host database's dialect and loads its rows; the
    // fields declared beforehand keep their properties. Throws EHostError.
    void Open() override;
    void Close() override;
    // The text that runs on the host database.
    QString ActiveSQL() const;

private:
    std::vector<std::unique_ptr<TParam>> params_;
};

} // namespace hostfw
