// The lookup routines the screens call (Pesquisa, Pesqlista, Procurar,
// Tabvalid), captions and multi-choice code lists.
#include "host/controls/Lookups.h"

#include "host/controls/LookupModel.h"
#include "host/controls/MaskEdit.h"
#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/data/DataSet.h"
#include "protocol/CodeList.h"

#include <QSet>

namespace hostfw {

std::pair<QString, QString> splitLookupCaption(const QString& caption) {
    const int bar = caption.indexOf(QChar('|'));
    if (bar < 0) return {caption, QString()};
    return {caption.left(bar), caption.mid(bar + 1)};
}

// The list's wire form is protocol's; "T" (all) marks no single code, and
// no code gives an empty text, which the screens test for.
QStringList codesOfList(const QString& codeList) {
    QStringList codes;
    const auto list = protocol::CodeList::parse(codeList.trimmed().toStdString(), std::string::npos);
    if (!list) return codes;
    for (const std::string& code : list->codes)
        if (const QString c = QString::fromStdString(code).trimmed(); !c.isEmpty()) codes.append(c);
    return codes;
}

QString codeListOf(const QStringList& codes) {
    if (codes.isEmpty()) return QString();
    std::vector<std::string> list;
    for (const QString& c : codes) list.push_back(c.toStdString());
    return QString::fromStdString(protocol::CodeList::format(list));
}

QString codeListOfRows(TClientDataSet* dataSet, const QString& keyField) {
    std::vector<std::string> keys;
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next())
        keys.push_back(dataSet->FieldByName(keyField)->AsString().toStdString());
    return QString::fromStdString(protocol::CodeList::format(keys));
}

void ShowAmountWithName(TField* name, TField* amount, const QString& unit) {
    name->OnGetText = [amount, unit](TField* field, QString& text, bool display) {
        text = field->AsString();
        if (display && !amount->IsNull())
            text = QStringLiteral("%1 (%2 %3)").arg(text.trimmed(), FormatPlain(amount->AsFloat(), true), unit);
    };
}

QString foldForSearch(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out.append(c.toCaseFolded());
    return out;
}

} // namespace hostfw

using namespace hostfw;
using hostfw::lookup::keyAt;

namespace {

TClientDataSet* listOf(TDataSource* source) {
    TClientDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds) throw EHostError(QStringLiteral("Lista de pesquisa sem conjunto de dados."));
    return ds;
}

bool showEmpty(TClientDataSet* ds, const QString& emptyText) {
    if (ds->Active() && !ds->IsEmpty()) return false;
    if (!emptyText.isEmpty()) dialogs().message(DialogKind::Information, emptyText);
    return true;
}

bool pickRow(TDataSource* source, const QString& caption, const QString& filter) {
    TClientDataSet* ds = listOf(source);
    const auto [title, emptyText] = splitLookupCaption(caption);
    if (showEmpty(ds, emptyText)) return false;
    LookupRequest request;
    request.dataSet = ds;
    request.title = title;
    request.emptyText = emptyText;
    request.filterText = filter;
    const LookupAnswer answer = dialogs().lookup(request);
    if (!answer.accepted || answer.row < 0 || answer.row >= ds->RecordCount()) return false;
    ds->MoveTo(answer.row + 1);
    return true;
}

// While a hierarchical lookup is up, string fields with an edit mask are
// displayed through it; their own display handlers are put back after.
class MaskedDisplay {
public:
    explicit MaskedDisplay(TClientDataSet* ds) {
        for (TField* f : ds->Fields()) {
            if (!f->Visible || f->EditMask.isEmpty() || f->DataType() != TFieldType::ftString) continue;
            saved_.push_back({f, f->OnGetText});
            f->OnGetText = [previous = f->OnGetText, mask = f->EditMask](TField* field, QString& text, bool display) {
                text = field->AsString();
                if (previous) previous(field, text, display);
                if (display) text = FormatMaskText(mask, text.trimmed());
            };
        }
    }
    ~MaskedDisplay() {
        for (auto& [field, handler] : saved_) field->OnGetText = handler;
    }
    MaskedDisplay(const MaskedDisplay&) = delete;
    MaskedDisplay& operator=(const MaskedDisplay&) = delete;

private:
    std::vector<std::pair<TField*, std::function<void(TField*, QString&, bool)>>> saved_;
};

// Marks rows in IDMARCADO without leaving entries in the change log.
void setMarks(TClientDataSet* ds, TField* mark, int keyIndex, const QSet<QString>& marked) {
    const int saved = ds->RecNo();
    const bool logChanges = ds->LogChanges;
    ds->LogChanges = false;
    try {
        for (int row = 0; row < ds->RecordCount(); ++row) {
            const QVariant want = marked.contains(keyAt(ds, row, keyIndex)) ? QVariant(QStringLiteral("S")) : QVariant();
            const QVariant have = ds->ValueAt(row, mark->Index());
            if (have.isNull() == want.isNull() && (want.isNull() || have.toString() == want.toString())) continue;
            ds->MoveTo(row + 1);
            ds->Edit();
            mark->SetValue(want);
            ds->Post();
        }
        if (saved > 0) ds->MoveTo(saved);
    } catch (...) {
        ds->LogChanges = logChanges;
        throw;
    }
    ds->LogChanges = logChanges;
}

}  // namespace

namespace Pesquisa {

bool Pesquisar(TDataSource* source, const QString& caption, bool, bool, const QString& filter) {
    return pickRow(source, caption, filter);
}

bool Pesquisar_Plus(TDataSource* source, const QString& caption, bool, bool, const QString& filter) {
    MaskedDisplay masked(listOf(source));
    return pickRow(source, caption, filter);
}

} // namespace Pesquisa

namespace Pesqlista {

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& caption, bool, QString& codeList) {
    TClientDataSet* ds = listOf(source);
    if (!ds->Active()) ds->Open();
    const auto [title, emptyText] = splitLookupCaption(caption);
    if (showEmpty(ds, emptyText)) return false;
    const int keyIndex = ds->FieldByName(keyField)->Index();

    LookupRequest request;
    request.dataSet = ds;
    request.title = title;
    request.emptyText = emptyText;
    request.keyField = keyField;
    request.multiSelect = true;
    request.marked = codesOfList(codeList);
    const LookupAnswer answer = dialogs().lookup(request);
    if (!answer.accepted) return false;

    QSet<QString> marked;
    for (const QString& k : answer.marked) marked.insert(k.trimmed());
    QStringList ordered;
    for (int row = 0; row < ds->RecordCount(); ++row) {
        const QString k = keyAt(ds, row, keyIndex);
        if (marked.contains(k) && !ordered.contains(k)) ordered.append(k);
    }
    codeList = codeListOf(ordered);
    if (TField* mark = ds->FindField(QStringLiteral("IDMARCADO"))) setMarks(ds, mark, keyIndex, marked);
    return true;
}

} // namespace Pesqlista

namespace Procurar {

void Procura(TClientDataSet* ds) {
    if (!ds) return;
    const std::optional<QString> asked = dialogs().findText(QStringLiteral("Procurar"));
    if (!asked || asked->trimmed().isEmpty()) return;
    const QString wanted = asked->trimmed();
    if (ds->Active()) {
        QList<int> columns;
        for (TField* f : ds->Fields())
            if (f->Visible) columns.append(f->Index());
        for (int row = 0; row < ds->RecordCount(); ++row) {
            for (int column : columns) {
                if (ds->DisplayTextAt(row, column).contains(wanted, Qt::CaseInsensitive)) {
                    ds->MoveTo(row + 1);
                    return;
                }
            }
        }
    }
    dialogs().message(DialogKind::Information, QStringLiteral("Registro não encontrado."));
}

} // namespace Procurar

namespace Tabvalid {

void ValidEx(TDataSource*, int pictureType, QString& code, int, const QString&, bool) {
    const CodePicture& picture = pictureType == 1 ? session().dishPicture : session().productPicture;
    const MaskPattern pattern(picture.mask);
    if (pattern.isEmpty()) return;  // no picture kept by the host: nothing to check

    const auto refuse = [&] {
        dialogs().message(DialogKind::Error,
                          QStringLiteral("Código '%1' não confere com a máscara %2.").arg(code, picture.mask));
        throw EAbort();
    };
    const QString typed = code.trimmed();
    if (typed.isEmpty()) refuse();

    bool digitsOnly = true;
    for (QChar c : typed) digitsOnly = digitsOnly && c.isDigit();
    if (digitsOnly) {
        if (typed.size() != pattern.groupEnds().value(pattern.groupEnds().size() - 1)) refuse();
        code = typed;
        return;
    }
    // Typed with the picture's separators: each in its place, ending where a level ends.
    if (typed.size() > pattern.length()) refuse();
    QString bare;
    for (int pos = 0; pos < typed.size(); ++pos) {
        if (pattern.isLiteral(pos)) {
            if (typed[pos] != pattern.literalAt(pos)) refuse();
        } else {
            if (!typed[pos].isDigit()) refuse();
            bare.append(typed[pos]);
        }
    }
    if (typed.size() != pattern.length()) refuse();
    code = bare;
}

} // namespace Tabvalid
