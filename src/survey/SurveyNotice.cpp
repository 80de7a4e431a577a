// Warning reasons of a grid row and the notice of a clashing item posted.
#include "survey/SurveyNotice.h"

#include "survey/ItemsPage.h"

#include <QMouseEvent>

namespace survey {

namespace {

class ItemNotice : public QLabel {
public:
    explicit ItemNotice(QWidget* parent) : QLabel(parent) {
        setObjectName(QStringLiteral("lblAvisoItem"));
        setWordWrap(true);
        setFocusPolicy(Qt::NoFocus);
        setTextFormat(Qt::PlainText);
        setToolTip(QStringLiteral("Clique para fechar o aviso."));
        setStyleSheet(QStringLiteral("QLabel#lblAvisoItem { background: #fff4ce; color: #5c3c00;"
                                     " border: 1px solid #e0b400; padding: 3px 6px; }"));
        hide();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        hide();
        event->accept();
    }
};

}  // namespace

QLabel* makeItemNotice(QWidget* parent) { return new ItemNotice(parent); }

WarningSets warningSetsOf(const ItemsPage& s) {
    return {s.cdsProdutoRest, s.cdsProdutoIntol, s.cdsVerMedica, s.cdsPratoRest, s.cdsPratoIntol, s.cdsVerMedicaPrato};
}

void noticePostedItem(ItemsPage& screen) {
    auto* notice = screen.findChild<QLabel*>(QStringLiteral("lblAvisoItem"));
    if (!notice) return;
    notice->hide();
    hostfw::TClientDataSet* items = screen.cdsProdPrat;
    if (items->CurrentRow() < 0) return;
    // The grid's paint fetches the sets (and reports a failure); without
    // them there is nothing to say yet, and the marks follow at the paint.
    if (!screen.cdsPratoRest->Active() || !screen.cdsProdutoRest->Active()) return;
    const auto value = [&](const char* field) { return items->FieldByName(QString::fromLatin1(field))->AsString(); };
    const QString text = postedItemNotice(
        value("NMPRATPROD"), itemWarnings(warningSetsOf(screen), itemKindOf(value("IDTIPOINQUER")), value("CDPRATPROD")));
    if (text.isEmpty()) return;
    notice->setText(text);
    notice->show();
}

}  // namespace survey
