#pragma once
// The patient filter the host hands to the survey module: the main window's
// data set "cdsFiltro" and its saved copy "FILPACI.cds", which presets branch
// and patient when the host runs module 10 or 11.
#include <QString>

class QObject;

namespace hostfw {
class TClientDataSet;
}

namespace hostapp {

// A closed data set named "cdsFiltro" with the fields CDFILIAL and CDPACIENTE.
hostfw::TClientDataSet* createFilterDataSet(QObject* owner);

QString patientFilterPath(const QString& folder);

// Writes FILPACI.cds into folder with one row; answers its path. Throws
// hostfw::EHostError when the file cannot be written.
QString writePatientFilter(const QString& folder, const QString& branchCode, const QString& patientCode);

} // namespace hostapp
