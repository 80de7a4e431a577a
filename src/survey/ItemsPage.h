#pragma once
// The items page of the survey screen: service, meal time and day over the
// items grid, the item data sets, the item checks and the warning marks.
// Items belong to the context's patient and period: another one drops them.
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "survey/ItemRules.h"
#include "survey/RecentFoods.h"
#include "survey/SurveyContextHolder.h"

#include <QWidget>

class QBoxLayout;
class QFrame;
class QLabel;
class QToolButton;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TDateEditPlus;
class TEdit;
class TMaskEdit;
}

namespace survey {

class DayPanel;

class Q_DECL_EXPORT ItemsPage : public QWidget {
    Q_OBJECT
public:
    // The items are shown through the screen's data source (its commands act on it).
    ItemsPage(QWidget* parent, const PanelServices& services, hostfw::TDataSource* itemsSource);

    QFrame* panInq;
    QLabel *lblServico, *lblHorario, *lblDataInquerito;
    hostfw::TEdit *edtCdServico, *edtNmServico, *edtDiaSemana;
    hostfw::TBtnPesquisa* BtnPesquisa2;
    hostfw::TMaskEdit* medHorario;
    QToolButton *sbtOntem, *sbtAmanha;
    hostfw::TDateEditPlus* depInquerito;
    hostfw::TDBGrid* dbgProdPrat;
    QWidget* panLegenda;

    hostfw::TClientDataSet *cdsProdPrat, *cdsSeqInquer, *cdsPesqProd, *cdsPesqPrato, *cdsHorario, *cdsPratoRest,
        *cdsPratoIntol, *cdsVerMedicaPrato, *cdsProdutoRest, *cdsProdutoIntol, *cdsVerMedica, *cdsPratoVerMedica,
        *cdsProdVerMedica;
    hostfw::TDataSource *dtsServico, *dtsProduto, *dtsPrato, *dtsMediCaseProd, *dtsMediCasePrato;
    hostfw::TADOIBQuery *qryServico, *qryProduto, *qryValidaProduto, *qryPrato, *qryValidaPrato, *qryMedicaseProd,
        *qryMedicasePrato, *qryQuantProd, *qryQuantPrato;

    // Room for more panels: beside the grid (right) and below the legend.
    void addBesideGrid(QWidget* panel);
    void addBelowGrid(QWidget* panel);
    // The day totals: shown for the context's day (asked again only for
    // another day), or asked again (the day's items or targets changed).
    void showDay();
    void refreshDay();

    // A row being typed is posted with every check before the items are
    // reloaded, emptied or the screen closes; an untouched new row is dropped.
    void settlePendingItem();
    void LoadItems();  // GetItemProd into cdsProdPrat
    // Settles a pending row and empties the items (page or service change).
    void dropItems();
    // Service, meal time and day editable (outside an edit of an item).
    void setServiceEditable(bool editable);
    // The grid's column buttons for the items' state.
    void showColumnButtons(hostfw::TDataSetState state);
    void showDayName();
    // Validates the survey date when it has the focus (before a secondary screen opens).
    void checkSurveyDateIfFocused();

    // Service and meal time.
    void edtCdServicoChange();
    void edtCdServicoExit();
    void BtnPesquisa2BeforePesq(bool& cancel);
    void BtnPesquisa2AfterPesq();
    void Vd_Servico(bool required);
    void GetHora(bool fill);
    void medHorarioExit();
    QString strippedMealTime() const;
    QString storedMealTime() const;
    void showMealTime(const QString& hhmm);
    void saveMealTime();

    // Survey day.
    void sbtOntemClick();
    void sbtAmanhaClick();
    void depInqueritoChange();
    void depInqueritoDateChange();
    void depInqueritoExit();

    // Items.
    void cdsProdPratBeforeInsert();
    void cdsProdPratAfterInsert();
    void cdsProdPratBeforePost();
    void cdsProdPratAfterPost();
    void cdsProdPratAfterDelete();
    void cdsProdPratAfterCancel();
    void cdsProdPratIDTIPOINQUERGetText(hostfw::TField* field, QString& text);
    void cdsProdPratIDTIPOINQUERSetText(hostfw::TField* field, const QString& text);
    void cdsProdPratCDPRATPRODGetText(hostfw::TField* field, QString& text, bool display);
    void cdsProdPratCDPRATPRODChange();
    void Vd_Tipo();

    // Items grid.
    void dbgProdPratEnter();
    void dbgProdPratColEnter();
    void dbgProdPratColExit();
    void dbgProdPratDblClick();
    void dbgProdPratEditButtonClick();
    void dbgProdPratKeyDown(int& key, Qt::KeyboardModifiers shift);
    void dbgProdPratKeyPress(QChar& key);
    void dbgProdPratDrawColumnCell(const QRect& rect, hostfw::TColumn* column, hostfw::TGridDrawState state);

signals:
    // The service panel got the focus (the screen's commands follow).
    void serviceEntered();
    // An item was stored on the server, or deleted there.
    void itemPosted();
    void itemDeleted();

private:
    void buildDataSets();
    void buildWidgets();
    void connectHandlers();
    void contextChanged(const SurveyContext& context);
    const SurveyContext& context() const { return services_.context->context(); }
    QString msg(const char* key) const;

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
    void sendItems();

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

    PanelServices services_;
    // The recent foods of the lookups, read once per patient and day.
    RecentFoods recentFoods_;
    DayPanel* dayPanel_ = nullptr;
    QBoxLayout* gridRow_ = nullptr;
    QBoxLayout* pageLayout_ = nullptr;
    bool warningFailureShown_ = false;
    // Branch, patient and period the items belong to.
    SurveyContext itemsOf_;
};

}  // namespace survey
