#pragma once
// Export of what a pivot grid shows: CSV as a Brazilian spreadsheet program
// opens it (UTF-8 with a byte-order mark, ";" between cells, decimal comma)
// and XLSX (real numbers with their format, the row nesting as outline
// levels, frozen header row and label column).
#include "host/core/HostExport.h"

#include <QString>

namespace hostfw {

class THierCubeGrid;

// Both throw EHostError with a Portuguese message when the file cannot be written.
HOSTFW_EXPORT void ExportCubeGridCsv(const THierCubeGrid& grid, const QString& path);
HOSTFW_EXPORT void ExportCubeGridXlsx(const THierCubeGrid& grid, const QString& path, const QString& sheetTitle);

}  // namespace hostfw
