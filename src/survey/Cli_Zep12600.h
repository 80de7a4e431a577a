#pragma once
// Unit Cli_Zep12600: the survey screen "ZEP12600" and the module's globals.
#include "host/connection/ADOIBQuery.h"
#include "host/data/DataSet.h"
#include "host/connection/NetConnection.h"
#include "host/screens/PadraoGrid.h"
#include "survey/ItemRules.h"
#include "survey/SurveyContext.h"

#include <QLabel>
#include <QString>

class QFrame;
class QMenu;
class QAction;
class QToolButton;

#include "host/data/DBGrid.h"

namespace hostfw {
class TDBGrid;
class TEdit;
class TMaskEdit;
class TBtnPesquisa;
class TDateEditPlus;
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

    // Toolbar additions and the mark pictures drawn by the items grid.
    QToolButton *sbtCalculo, *sbtCopiarInq;
    QToolButton* sbtNecesNutr;
    QLabel *img6, *img5, *imgMed;

    // Header.
    QFrame* panPaciente;
    QLabel *lblFilial, *lblPaciente;
    hostfw::TMaskEdit* medFilial;
    hostfw::TBtnPesquisa* btpPesqFilial;
    hostfw::TEdit *edtNmFilial, *edtCdPaciente, *edtNmPaciente;
    hostfw::TBtnPesquisa* btnPesqPaciente;

    // Pages.
    QWidget* tshPaci;
    hostfw::TDBGrid* dbgInquerito;
    QFrame* panInq;
    QLabel *lblServico, *lblHorario, *lblDataInquerito;
    hostfw::TEdit *edtCdServico, *edtNmServico, *edtDiaSemana;
    hostfw::TBtnPesquisa* BtnPesquisa2;
    hostfw::TMaskEdit* medHorario;
    QToolButton *sbtOntem, *sbtAmanha;
    hostfw::TDateEditPlus* depInquerito;
    hostfw::TDBGrid* dbgProdPrat;

    // Menus.
    QAction *mnuPaci, *mnuPadrao, *N1, *N2, *mnuCalculo, *mnuCopiarInq, *mnuRelInquerito, *mnuPlaInqNutr;
    QAction* mnuNecesNutr;  // the patient's needs; enabled with the calculation while a period is current
    QMenu* pmnInquNutr;

    // Server connection and data sets.
    hostfw::TNetConnection* netInquerito;
    hostfw::TClientDataSet *cdsInqPaci, *cdsMax, *cdsPaciente, *cdsPesqPaci, *cdsProdPrat, *cdsSeqInquer,
        *cdsPesqProd, *cdsPesqPrato, *cdsHorario, *cdsPratoRest, *cdsPratoIntol, *cdsVerMedicaPrato,
        *cdsProdutoRest, *cdsProdutoIntol, *cdsVerMedica, *cdsPratoVerMedica, *cdsProdVerMedica;
    hostfw::TDataSource *dtsInqPaci, *dtsPaciente, *dtsFilial, *dtsServico, *dtsProduto, *dtsPrato,
        *dtsMediCaseProd, *dtsMediCasePrato;
    hostfw::TADOIBQuery *qryFilial, *qryPesqPaci, *qryServico, *qryParaDiet, *qryProduto, *qryValidaProduto,
        *qryPrato, *qryValidaPrato, *qryMedicaseProd, *qryMedicasePrato, *qryQuantProd, *qryQuantPrato;

    // Fields the handlers name.
    hostfw::TField *cdsInqPaciCDFILIAL, *cdsInqPaciCDPACIENTE, *cdsInqPaciDTINIINQU, *cdsInqPaciDTFININQU,
        *cdsInqPaciDTNAVIGATOR;

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

    // Header, patient, branch and service.
    void FiltroPaci();
    void panPacienteExit();
    void medFilialChange();
    void medFilialKeyPress(QChar& key);
    void medFilialExit();
    void btpPesqFilialBeforePesq(bool& cancel);
    void btpPesqFilialAfterPesq();
    void edtCdPacienteChange();
    void edtCdPacienteKeyPress(QChar& key);
    void edtCdPacienteExit();
    void btnPesqPacienteClick();
    void Vd_Paciente(bool required);
    void edtCdServicoChange();
    void edtCdServicoExit();
    void BtnPesquisa2BeforePesq(bool& cancel);
    void BtnPesquisa2AfterPesq();
    void Vd_Servico(bool required);
    void GetHora(bool fill);

    // Periods and the survey date.
    void cdsInqPaciNewRecord();
    void cdsInqPaciBeforeEdit();
    void cdsInqPaciBeforePost();
    void cdsInqPaciAfterPostOrDelete();
    void cdsInqPaciAfterCancel();
    void cdsInqPaciCalcFields();
    void sbtOntemClick();
    void sbtAmanhaClick();
    void depInqueritoChange();
    void depInqueritoDateChange();
    void depInqueritoExit();

    // Items.
    void LoadItems();  // GetItemProd into cdsProdPrat
    // A row being typed is posted with every check before the items are
    // reloaded, emptied or the screen closes; an untouched new row is dropped.
    void settlePendingItem();
    void cdsProdPratBeforeInsert();
    void cdsProdPratAfterInsert();
    void cdsProdPratBeforePost();
    void cdsProdPratAfterPostOrDelete();
    void cdsProdPratAfterCancel();
    void cdsProdPratIDTIPOINQUERGetText(hostfw::TField* field, QString& text);
    void cdsProdPratIDTIPOINQUERSetText(hostfw::TField* field, const QString& text);
    void cdsProdPratCDPRATPRODGetText(hostfw::TField* field, QString& text, bool display);
    void cdsProdPratCDPRATPRODChange();
    void Vd_Tipo();

    // Items grid.
    void dbgProdPratColEnter();
    void dbgProdPratColExit();
    void dbgProdPratDblClick();
    void dbgProdPratEditButtonClick();
    void dbgProdPratKeyDown(int& key, Qt::KeyboardModifiers shift);
    void dbgProdPratKeyPress(QChar& key);
    void dbgProdPratDrawColumnCell(const QRect& rect, hostfw::TColumn* column, hostfw::TGridDrawState state);
    // Branch, patient, current period, service and day as the screen shows
    // them; the one place that reads those fields for remote calls.
    survey::SurveyContext surveyContext() const;

    // Is the page showing the items page?
    bool itemsPageShowing() const;
    QWidget* mainWindow() const;

    // Shows a page without running the page change handling (as the page
    // control does when a page is set by code).
    void showPage(QWidget* page);
    void setPageEnabled(QWidget* page, bool enabled);
    void medHorarioExit();
    // Validates the survey date when it has the focus (before a secondary screen opens).
    void checkSurveyDateIfFocused();
    // The meal time edit's text without ":" and blanks; the time stored for
    // the day and service (cdsHorario); a four-character time shown under the mask.
    QString strippedMealTime() const;
    QString storedMealTime() const;
    void showMealTime(const QString& hhmm);
    void dbgProdPratEnter();
    // Sends the meal time when it differs from the one stored for the day and service.
    void saveMealTime();

private:
    void setupItemsGrid();
    void bindItemEvents();
    hostfw::TField* item(const char* fieldName) const;  // field of cdsProdPrat
    survey::ItemKind itemKind() const;  // the rules the row's type follows
    QString itemColumn() const;  // field name of the grid's current column
    // Puts the focus on the field's column and stops with the text.
    [[noreturn]] void stopAt(const char* fieldName, const QString& text);
    // A stop of the post check: the column the cursor leaves is checked first.
    [[noreturn]] void postStopAt(const char* fieldName, const char* key);
    // Code check and completion of either kind; its check query, run for a code.
    void codeExit(survey::ItemKind kind);
    hostfw::TADOIBQuery* codeQuery(survey::ItemKind kind) const;
    void runCodeQuery(survey::ItemKind kind, const QString& code);
    void measureExit(survey::ItemKind kind);
    // The row's item's measures: the one given, or all of them.
    hostfw::TADOIBQuery* measureQuery(survey::ItemKind kind, const QString& measure, bool all);
    // Total quantity = portions x weight of one portion of the row's measure.
    void storeTotalQuantity(bool posting);
    bool lookUpProduct();
    bool lookUpDish();
    bool lookUpMeasure(survey::ItemKind kind);

    // Warnings.
    enum class ItemMark { None, Restriction, Intolerance };
    void setupWarnings();
    // Loads the warning sets that are not loaded; false after a failure already shown.
    bool fetchWarnings(int paintedRow);
    void forgetWarnings();  // the next paint fetches the sets for the values then shown
    QString itemValue(int row, const char* fieldName) const;
    ItemMark itemMark(int row) const;
    QStringList itemInteractions(int row) const;  // "drug – nutrient" of the row's item
    QString markToolTip(const QPoint& pos) const;
    bool warningFailureShown_ = false;
    void buildHeader();
    void buildPages();
    void buildMenus();
    void buildDataSets();
    void buildMessages();
    void connectHandlers();
    // Sets Alter, Delete/Find/Verify and the chained Calculate/Copy/Print after Cancel.
    void resetCommandsAfterCancel();
    bool firstActivation_ = true;
    bool settingPage_ = false;
};
