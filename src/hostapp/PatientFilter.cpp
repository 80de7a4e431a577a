#include "hostapp/PatientFilter.h"

#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <QDir>
#include <QFileInfo>

namespace hostapp {

using hostfw::TClientDataSet;
using hostfw::TFieldType;

namespace {
void addFilterFields(TClientDataSet& cds) {
    cds.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cds.AddField(QStringLiteral("CDPACIENTE"), TFieldType::ftString, 12);
}
} // namespace

hostfw::TClientDataSet* createFilterDataSet(QObject* owner) {
    auto* cds = new TClientDataSet(owner, QStringLiteral("cdsFiltro"));
    addFilterFields(*cds);
    return cds;
}

QString patientFilterPath(const QString& folder) { return QDir(folder).absoluteFilePath(QStringLiteral("FILPACI.cds")); }

QString writePatientFilter(const QString& folder, const QString& branchCode, const QString& patientCode) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        throw hostfw::EHostError(QStringLiteral("Pasta do filtro de pacientes não encontrada: %1").arg(folder));
    TClientDataSet cds(nullptr);
    addFilterFields(cds);
    cds.CreateDataSet();
    cds.Append();
    cds.FieldByName(QStringLiteral("CDFILIAL"))->SetValue(branchCode);
    cds.FieldByName(QStringLiteral("CDPACIENTE"))->SetValue(patientCode);
    cds.Post();
    const QString path = patientFilterPath(folder);
    cds.SaveToFile(path);
    return path;
}

} // namespace hostapp
