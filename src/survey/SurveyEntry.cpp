// Unit globals of Cli_Zep12600 and the creation and re-showing of the survey screen.
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "survey/Cli_Zep12600.h"
#include "survey/HeaderPanel.h"
#include "survey/PeriodsPage.h"
#include "survey/SecondaryScreens.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

TfrmInquerito* frmInquerito = nullptr;
bool boStCriado = false;
bool boConsulta = false;
bool boPrimeira = false;
QString stPath;
QString stCodigoProduto;
QString stArvProduto;

void Cli_Zep12600_Initialization() {
    static bool done = false;
    if (done) return;
    done = true;
    boStCriado = false;
}

void Cli_Zep12600_Finalization() {
    stPath.clear();
    stCodigoProduto.clear();
    stArvProduto.clear();
}

namespace {

// Shows the screen as an MDI child of the host when there is one.
void showScreen(TfrmInquerito* screen) {
    QMdiArea* area = hostfw::session().mdiArea;
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
    if (area && !sub) {
        sub = area->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(screen->windowTitle());
        // The screen's size, widened where the host's font needs more room.
        const QSize frame = sub->sizeHint() - screen->sizeHint();
        sub->resize(screen->size().expandedTo(screen->minimumSizeHint()) + frame);
        QObject::connect(area, &QMdiArea::subWindowActivated, screen, [screen](QMdiSubWindow* w) {
            if (w && w->widget() == screen) hostfw::guard([screen] { screen->FormActivate(); });
        });
    }
    if (sub) {
        sub->showNormal();
        sub->raise();
        area->setActiveSubWindow(sub);
    } else {
        screen->showNormal();
        screen->raise();
        screen->activateWindow();
        QApplication::setActiveWindow(screen);
    }
}

}  // namespace

void CriaInquerito(const QString& origem, const QString& filial, const QString& paciente, const QString& nome) {
    const bool programa = origem.toUpper() == QStringLiteral("PROGRAMA");
    if (!boStCriado) {
        frmInquerito = new TfrmInquerito(nullptr);
        boStCriado = true;
        showScreen(frmInquerito);
        // Activation runs the first-activation work; offscreen there may be no
        // activation event, so make sure it has run before going on.
        frmInquerito->FormActivate();
    } else if (programa) {
        frmInquerito->cancelEditing();
        survey::HeaderPanel* shown = frmInquerito->header();
        if (shown->medFilial->isEnabled())
            shown->medFilial->setFocus();
        else
            shown->edtCdPaciente->setFocus();
    }
    survey::HeaderPanel* header = frmInquerito->header();
    if (programa) {
        header->medFilial->SetText(filial);
        header->edtCdPaciente->SetText(paciente);
        header->edtNmPaciente->SetText(nome);
    }
    showScreen(frmInquerito);
    if (boConsulta) {
        frmInquerito->periods()->dbgInquerito->setFocus();
    } else if (boPrimeira && header->edtCdPaciente->Text().isEmpty()) {
        header->edtCdPaciente->setFocus();
        boPrimeira = false;
    }
}

namespace survey {
SecondaryScreenCreators& secondaryScreens() {
    static SecondaryScreenCreators creators;
    return creators;
}

int openSecondaryScreen(const SecondaryScreenCreator& create, const SurveyContext& context, const char* screenCode) {
    if (create) return create(context);
    hostfw::dialogs().message(hostfw::DialogKind::Information,
                              QStringLiteral("A tela %1 não está disponível nesta versão.").arg(screenCode));
    return 0;
}
}
