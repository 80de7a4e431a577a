#include "host/core/Dialogs.h"

#include "host/controls/Lookups.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace hostfw {

namespace {

std::unique_ptr<HostDialogs>& current() {
    static std::unique_ptr<HostDialogs> service;
    return service;
}

QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

}  // namespace

HostDialogs& dialogs() {
    auto& service = current();
    if (!service) service = std::make_unique<QtDialogs>();
    return *service;
}

void setDialogs(std::unique_ptr<HostDialogs> service) { current() = std::move(service); }

ScriptedDialogs& useScriptedDialogs() {
    auto service = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& scripted = *service;
    setDialogs(std::move(service));
    return scripted;
}

// --- QtDialogs ---------------------------------------------------------------

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

// --- ScriptedDialogs ---------------------------------------------------------

void ScriptedDialogs::message(DialogKind kind, const QString& text) { shown.push_back({kind, text}); }

bool ScriptedDialogs::confirm(const QString& text) {
    shown.push_back({DialogKind::Confirmation, text});
    if (confirmations.empty()) return true;
    const bool answer = confirmations.front();
    confirmations.pop_front();
    return answer;
}

LookupAnswer ScriptedDialogs::lookup(const LookupRequest& request) {
    lookupsShown.push_back(request);
    if (onLookup) onLookup(request);
    if (lookups.empty()) return {};
    LookupAnswer answer = lookups.front();
    lookups.pop_front();
    if (answer.row >= 0) answer.accepted = true;
    return answer;
}

std::optional<QString> ScriptedDialogs::findText(const QString&) {
    if (finds.empty()) return std::nullopt;
    QString text = finds.front();
    finds.pop_front();
    return text;
}

void ScriptedDialogs::busy(bool on, int kind) {
    busyCalls.emplace_back(on, kind);
    busyDepth += on ? 1 : (busyDepth > 0 ? -1 : 0);
}

void ScriptedDialogs::clear() {
    shown.clear();
    confirmations.clear();
    lookups.clear();
    lookupsShown.clear();
    finds.clear();
    busyCalls.clear();
    busyDepth = 0;
    onLookup = nullptr;
}

} // namespace hostfw
