#pragma once
// Unit Cli_Zep12600: the survey screen "ZEP12600" and the module's globals.
// The screen composes its header (HeaderPanel), periods page (PeriodsPage)
// and items page (ItemsPage), which share one survey context, and carries
// the rules of its commands.
#include "host/connection/NetConnection.h"
#include "host/screens/PadraoGrid.h"
#include "survey/SurveyContext.h"

#include <QLabel>
#include <QString>

class QMenu;
class QAction;
class QToolButton;

namespace survey {
class HeaderPanel;
class ItemsPage;
class PeriodsPage;
class SurveyContextHolder;
}

class TfrmInquerito;

// Unit globals, exported to the host and read by the secondary screens.
extern Q_DECL_EXPORT TfrmInquerito* frmInquerito;
extern Q_DECL_EXPORT bool boStCriado;
extern Q_DECL_EXPORT bool boConsulta;
extern Q_DECL_EXPORT bool boPrimeira;
extern Q_DECL_EXPORT QString stPath;
extern Q_DECL_EXPORT QString stCodigoProduto;
extern Q_DECL_EXPORT QString stArvProduto;

// Creates the survey screen the first time, shows it again later; origin
// "MENU" or "PROGRAMA" (any letter case).
Q_DECL_EXPORT void CriaInquerito(const QString& origem, const QString& filial, const QString& paciente,
                                 const QString& nome);

// Unit initialization and finalization, run once by the package loader.
void Cli_Zep12600_Initialization();
void Cli_Zep12600_Finalization();

class Q_DECL_EXPORT TfrmInquerito : public hostfw::TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit TfrmInquerito(QWidget* parent = nullptr);
    ~TfrmInquerito() override;

    survey::HeaderPanel* header() const { return header_; }
    survey::PeriodsPage* periods() const { return periods_; }
    survey::ItemsPage* items() const { return items_; }
    survey::SurveyContextHolder* contextHolder() const { return context_; }

    // Toolbar additions and the mark pictures drawn by the items grid.
    QToolButton *sbtCalculo, *sbtCopiarInq;
    QToolButton* sbtNecesNutr;
    QLabel *img6, *img5, *imgMed;

    // Menus.
    QAction *mnuPaci, *mnuPadrao, *N1, *N2, *mnuCalculo, *mnuCopiarInq, *mnuRelInquerito, *mnuPlaInqNutr;
    QAction* mnuNecesNutr;  // the patient's needs; enabled with the calculation while a period is current
    QMenu* pmnInquNutr;

    // Server connection the panels share.
    hostfw::TNetConnection* netInquerito;

    // Lifecycle.
    void FormCreate() override;
    void FormActivate() override;
    void FormCloseQuery() override;
    void FormClose() override;

    // Commands.
    void sbtIncluirClick() override;
    void sbtAlterarClick() override;
    void sbtExcluirClick() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    void sbtProcurarClick() override;
    void sbtVerificarClick() override;
    void sbtImprimirClick() override;
    void sbtCalculoClick();
    void sbtCopiarInqClick();
    void mnuNecesNutrClick();
    void mnuRelInqueritoClick();
    void mnuPlaInqNutrClick();
    void dbnPadraoClick();
    void mnuPaciClick();
    void mnuPadraoClick();
    void tshPadraoEnter();

    // State handlings and page change.
    void dtsInqPaciStateChange();
    void dtsPadraoStateChange() override;
    void pgcPadraoChange();
    void panPacienteEnter();
    void panInqEnter();
    // A command from outside (the host opening the screen again): an edit of
    // the page showing is cancelled without a question.
    void cancelEditing();

    // Branch, patient, current period, service and day the screen stands on;
    // the one context every remote call and secondary screen gets.
    survey::SurveyContext surveyContext() const;

    // Is the page showing the items page?
    bool itemsPageShowing() const;
    QWidget* mainWindow() const;

    // Shows a page without running the page change handling (as the page
    // control does when a page is set by code).
    void showPage(QWidget* page);
    void setPageEnabled(QWidget* page, bool enabled);

private:
    void buildPanels();
    void buildMenus();
    void buildMessages();
    void connectHandlers();
    // Sets Alter, Delete/Find/Verify and the chained Calculate/Copy/Print after Cancel.
    void resetCommandsAfterCancel();
    survey::SurveyContextHolder* context_;
    survey::HeaderPanel* header_;
    survey::PeriodsPage* periods_;
    survey::ItemsPage* items_;
    bool firstActivation_ = true;
    bool settingPage_ = false;
};
