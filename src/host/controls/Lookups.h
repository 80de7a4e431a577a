#pragma once
// Lookup routines of the host: pick one row of a list, mark rows of a list
// into a code list, find a row, and check a code against the code picture;
// and the lookup window that the Qt dialogs show.
#include "host/core/Dialogs.h"
#include "host/core/HostExport.h"

#include <QDialog>
#include <QStringList>
#include <QString>

#include <utility>

class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace hostfw {

class TClientDataSet;
class TDataSource;
class TField;

// Caption "Title|Text when empty" in its two parts.
HOSTFW_EXPORT std::pair<QString, QString> splitLookupCaption(const QString& caption);

// Text as a lookup's search compares it: lower case, without accents.
HOSTFW_EXPORT QString foldForSearch(const QString& text);

// Multi-choice code lists: "_01_07_" <-> {"01", "07"}; no code gives "".
HOSTFW_EXPORT QStringList codesOfList(const QString& codeList);
HOSTFW_EXPORT QString codeListOf(const QStringList& codes);
// Shows a name field as "Fatia (25 g)": the name, then the amount field of
// the same row in pt-BR and the unit; the name alone where the amount is null.
HOSTFW_EXPORT void ShowAmountWithName(TField* name, TField* amount, const QString& unit);

// Every row's key as a code list ("_01_07_"), "_" for a data set with no
// row: "all of these" sent as a list. Leaves the data set past its last row.
HOSTFW_EXPORT QString codeListOfRows(TClientDataSet* dataSet, const QString& keyField);

// The modal window of QtDialogs::lookup: the data set's visible fields in a
// table, a filter box narrowing the rows, Enter or double click to pick,
// Esc to cancel; a check column when several rows may be marked. It reads
// rows without moving the data set. Opened with a search text, it starts
// filtered by it, on the first row left.
class HOSTFW_EXPORT LookupWindow : public QDialog {
    Q_OBJECT
public:
    explicit LookupWindow(const LookupRequest& request, QWidget* parent = nullptr);

    LookupAnswer answer() const { return answer_; }
    QLineEdit* filterBox() const { return filter_; }
    QTableView* table() const { return table_; }
    int visibleRowCount() const;  // rows left by the filter
    // Picks the row shown at a visible position (single choice), or confirms
    // the marks (multiple choice).
    void pick(int visibleRow);
    void confirm();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int currentSourceRow() const;
    LookupRequest request_;
    LookupAnswer answer_;
    QLineEdit* filter_;
    QTableView* table_;
    QSortFilterProxyModel* proxy_;
    bool keepSearch_ = false;
};

} // namespace hostfw

namespace Pesquisa {
// Shows the data set's rows; true when the user picked one, and the data set
// then stands on it. An empty list shows the caption's empty text and
// answers false. The two flags are the host's and have no effect here; the
// window opens searching for filter, when given (accents and case aside).
HOSTFW_EXPORT bool Pesquisar(hostfw::TDataSource* source, const QString& caption, bool = false, bool = true,
                             const QString& filter = QString());
// As Pesquisar, for hierarchical codes: string fields with an EditMask are
// shown through it (mask "99.99.999" shows 0101001 as 01.01.001).
HOSTFW_EXPORT bool Pesquisar_Plus(hostfw::TDataSource* source, const QString& caption, bool = false, bool = true,
                                  const QString& filter = QString());
} // namespace Pesquisa

namespace Pesqlista {
// Opens the data set when closed and lets the user mark rows, those whose key
// is in codeList marked at the start. On OK codeList holds the marked keys in
// the data set's order ("_01_07_", or "" for none) and the field IDMARCADO,
// when there is one, holds "S" on marked rows and null on the others; true.
// Cancel, or an empty list (its text shown), leave codeList and answer false.
HOSTFW_EXPORT bool PesquisaLista(hostfw::TDataSource* source, const QString& keyField, const QString& caption,
                                 bool, QString& codeList);
} // namespace Pesqlista

namespace Procurar {
// Asks for a text ("Procurar") and positions the data set on the first row
// whose shown value of a visible field holds it, whatever the letter case;
// none: "Registro não encontrado.".
HOSTFW_EXPORT void Procura(hostfw::TClientDataSet* dataSet);
} // namespace Procurar

namespace Tabvalid {
// The code must fill the code picture of pictureType (0 products, 1 dishes)
// to its last level (a leaf): only digits, as many as the picture holds;
// typed with the picture's separators ("01.01.001") it is accepted and
// brought to its bare form ("0101001"). A refused code shows "Código '<code>' não confere com a
// máscara <mask>." and throws EAbort. The other arguments are the host's.
HOSTFW_EXPORT void ValidEx(hostfw::TDataSource* source, int pictureType, QString& code, int option = 0,
                           const QString& text = QString(), bool = true);
} // namespace Tabvalid
