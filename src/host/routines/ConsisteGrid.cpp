// The grid helpers of Consiste.
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

namespace Consiste {

QString GridText(hostfw::TDBGrid* grid, const QString& fieldName, bool) {
    hostfw::TClientDataSet* ds = grid->DataSet();
    hostfw::TField* field = ds ? ds->FindField(fieldName) : nullptr;
    if (!field) return {};
    // The text being typed counts while the cell editor is on that field.
    if (grid->EditorMode() && grid->SelectedField() == field) return grid->InplaceEditorText();
    return field->Text();
}

int IndiceCol(hostfw::TDBGrid* grid, const QString& fieldName) { return grid->ColumnIndex(fieldName); }

} // namespace Consiste
