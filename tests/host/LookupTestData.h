#pragma once
// Small lists for the control and lookup tests.
#include "host/data/DataSet.h"

#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace hostfw::testdata {

// A list of codes and names (fields CODIGO "Código", NOME "Nome", and a hidden
// OBS), open, positioned on its first row.
struct CodeList {
    TClientDataSet* dataSet;
    TDataSource* source;
    std::unique_ptr<QObject> owner = std::make_unique<QObject>();

    explicit CodeList(const std::vector<std::pair<QString, QString>>& rows, bool withMark = false) {
        dataSet = new TClientDataSet(owner.get(), QStringLiteral("cdsLista"));
        if (withMark) dataSet->AddField(QStringLiteral("IDMARCADO"), TFieldType::ftString, 1)->Visible = false;
        dataSet->AddField(QStringLiteral("CODIGO"), TFieldType::ftString, 7)->DisplayLabel = QStringLiteral("Código");
        dataSet->AddField(QStringLiteral("NOME"), TFieldType::ftString, 30)->DisplayLabel = QStringLiteral("Nome");
        dataSet->AddField(QStringLiteral("OBS"), TFieldType::ftString, 30)->Visible = false;
        dataSet->CreateDataSet();
        for (const auto& [code, name] : rows) {
            dataSet->Append();
            dataSet->FieldByName(QStringLiteral("CODIGO"))->SetAsString(code);
            dataSet->FieldByName(QStringLiteral("NOME"))->SetAsString(name);
            dataSet->FieldByName(QStringLiteral("OBS"))->SetAsString(QStringLiteral("oculto ") + name);
            dataSet->Post();
        }
        dataSet->MergeChangeLog();
        dataSet->First();
        source = new TDataSource(owner.get(), QStringLiteral("dtsLista"), dataSet);
    }

    QString code() const { return dataSet->FieldByName(QStringLiteral("CODIGO"))->AsString(); }
};

} // namespace hostfw::testdata
