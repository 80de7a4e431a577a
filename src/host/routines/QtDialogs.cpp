#include "host/routines/QtDialogs.h"

#include "host/controls/Lookups.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace hostfw {

namespace {

QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

// Loading the library makes the real dialogs the default service.
[[maybe_unused]] const bool registeredAsDefault = [] {
    setDefaultDialogs([] { return std::make_unique<QtDialogs>(); });
    return true;
}();

}  // namespace

void QtDialogs::message(DialogKind kind, const QString& text) {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = QStringLiteral("Informação");
    switch (kind) {
    case DialogKind::Error:
        icon = QMessageBox::Critical;
        title = QStringLiteral("Erro");
        break;
    case DialogKind::Warning:
        icon = QMessageBox::Warning;
        title = QStringLiteral("Atenção");
        break;
    case DialogKind::Confirmation:
        icon = QMessageBox::Question;
        title = QStringLiteral("Confirmação");
        break;
    case DialogKind::Information: break;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, dialogParent());
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool QtDialogs::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmação"), text, QMessageBox::NoButton, dialogParent());
    QPushButton* yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

LookupAnswer QtDialogs::lookup(const LookupRequest& request) {
    if (!request.dataSet) return {};
    LookupWindow window(request, dialogParent());
    if (window.exec() != QDialog::Accepted) return {};
    return window.answer();
}

std::optional<QString> QtDialogs::findText(const QString& title) {
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(title);
    dialog.setLabelText(QStringLiteral("Texto a procurar:"));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancelar"));
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().trimmed().isEmpty()) return std::nullopt;
    return dialog.textValue();
}

void QtDialogs::busy(bool on, int) {
    if (on) {
        if (busyDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        if (--busyDepth_ == 0) QApplication::restoreOverrideCursor();
    }
}

} // namespace hostfw
