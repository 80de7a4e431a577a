// The survey screen driven by real mouse clicks on its toolbar, search and
// day buttons and on the record navigator: the focused field's exit checks do
// not run before the click is handled.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "db/Query.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/data/DBGrid.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTabBar>
#include <QTest>

using hostfw::TDataSetState;

class SurveyClickTest : public SurveyTest {
protected:
    void click(QWidget* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        processEvents();
    }
    void deleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST_F(SurveyClickTest, CloseRunsNoHeaderCheck) {
    open();
    ASSERT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    dialogs_->clear();
    click(screen()->sbtFechar);
    deleteLater();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_FALSE(boStCriado);
    EXPECT_EQ(screen(), nullptr);

    // With a valid patient and the focus in the branch, closing does not call the server.
    openFor("0001", "000000000001", "");
    focus(screen()->header()->medFilial);
    dialogs_->clear();
    click(screen()->sbtFechar);
    deleteLater();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(screen(), nullptr);

    // The menu and the window's own close (Ctrl+F4) neither.
    open();
    ASSERT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    dialogs_->clear();
    screen()->mnuFechar->trigger();
    deleteLater();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(screen(), nullptr);
    open();
    focus(screen()->header()->edtCdPaciente);
    dialogs_->clear();
    qobject_cast<QMdiSubWindow*>(screen()->parentWidget())->close();
    deleteLater();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(screen(), nullptr);
}

TEST_F(SurveyClickTest, SearchButtonsOpenTheirListsWithAnEmptyPatient) {
    open();
    ASSERT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    dialogs_->clear();
    click(screen()->header()->btnPesqPaciente);
    ASSERT_EQ(dialogs_->lookupsShown.size(), 1u) << dialogs_->lastText().toStdString();
    EXPECT_EQ(dialogs_->lookupsShown[0].title, QString("Paciente"));
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();

    click(screen()->header()->btpPesqFilial);
    ASSERT_EQ(dialogs_->lookupsShown.size(), 2u) << dialogs_->lastText().toStdString();
    EXPECT_EQ(dialogs_->lookupsShown[1].title, QString("Filial"));
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
}

TEST_F(SurveyClickTest, ConfirmAndCancelOnAnUntouchedNewPeriod) {
    openFor("0001", "000000000001", "");
    click(screen()->sbtIncluir);
    ASSERT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
    dialogs_->clear();
    click(screen()->sbtConfirmar);
    EXPECT_EQ(shownText(), QString("Data inicial deve ser informada."));
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
    EXPECT_EQ(screen()->periods()->dbgInquerito->SelectedField(), screen()->periods()->cdsInqPaciDTINIINQU);

    click(screen()->sbtCancelar);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_TRUE(enabled("sbtIncluir"));
    EXPECT_TRUE(enabled("sbtExcluir"));
    EXPECT_FALSE(enabled("sbtCalculo"));
    EXPECT_FALSE(enabled("sbtCopiarInq"));
    EXPECT_FALSE(enabled("sbtImprimir"));
}

TEST_F(SurveyClickTest, LeavingThePeriodsGridKeepsANewPeriod) {
    openFor("0001", "000000000001", "");
    click(screen()->sbtIncluir);
    ASSERT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
    focus(screen()->pgcPadrao->tabBar());  // Tab out of the grid's last cell
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert) << "dropped only by Cancel";
}

TEST_F(SurveyClickTest, EveryPreviousDayClickStepsBackOneDay) {
    openFor("0001", "000000000001", "");
    screen()->mnuPadraoClick();
    processEvents();
    ASSERT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 30));
    dialogs_->clear();
    click(screen()->items()->sbtOntem);
    click(screen()->items()->sbtOntem);
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 28));
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    click(screen()->items()->sbtAmanha);
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 29));
}

TEST_F(SurveyClickTest, TheNavigatorMovesThroughThePeriodsAndTheItemsFollow) {
    {
        auto session = db::openSession(db_->url());
        db::execute(*session,
                    "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) "
                    "VALUES ('0001', '000000000001', '2026-12-07', '2026-12-09')",
                    {});
        db::execute(*session,
                    "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                    "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ) "
                    "VALUES ('0001', '000000000001', '2026-12-07', '2026-12-09', '00001', '2026-12-07', '001', '0', "
                    "'000492', '00012', 2, 412, '0700')",
                    {});
    }
    openFor("0001", "000000000001", "");
    ASSERT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 2);
    screen()->periods()->cdsInqPaci->First();
    QToolButton* next = screen()->dbnPadrao->findChild<QToolButton*>("nbNext");
    QToolButton* first = screen()->dbnPadrao->findChild<QToolButton*>("nbFirst");

    click(next);
    EXPECT_EQ(screen()->periods()->cdsInqPaciDTINIINQU->AsDate(), QDate(2026, 12, 7)) << "the periods move";
    EXPECT_EQ(screen()->dbtNome->text(), QString("07/12/2026 - 09/12/2026"));

    screen()->mnuPadraoClick();
    processEvents();
    screen()->items()->edtCdServico->SetText("00001");
    click(first);
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 30));
    EXPECT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 4) << "the items of 30/11";
    click(next);
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 12, 7));
    EXPECT_EQ(screen()->dbtNome->text(), QString("07/12/2026 - 09/12/2026"));
    ASSERT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 1) << "the items of 07/12";
    EXPECT_DOUBLE_EQ(screen()->items()->cdsProdPrat->FieldByName("QTALIMINQUER")->AsFloat(), 412.0);
}

TEST_F(SurveyClickTest, AScreenDeletedWithoutClosingIsNotReused) {
    open();
    QPointer<TfrmInquerito> first = screen();
    delete qobject_cast<QMdiSubWindow*>(first->parentWidget());
    EXPECT_TRUE(first.isNull());
    open();
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->isVisible());
}
