// Opening the survey: from the host menu, on behalf of another module, again,
// and after the screen was closed.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "host/controls/BtnPesquisa.h"
#include "host/data/DBGrid.h"
#include "host/core/Failures.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/connection/NetConnection.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QMdiSubWindow>

TEST_F(SurveyTest, MenuEntryCreatesTheScreenOnceAndFocusesThePatientOnlyTheFirstTime) {
    open();
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(boStCriado);
    EXPECT_FALSE(boConsulta);
    EXPECT_EQ(screen()->header()->medFilial->Text(), "0001");
    EXPECT_FALSE(screen()->header()->edtNmFilial->Text().isEmpty());
    EXPECT_TRUE(screen()->netInquerito->Connected());
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    EXPECT_FALSE(boPrimeira);

    TfrmInquerito* first = screen();
    focus(screen()->header()->medFilial);
    open();
    EXPECT_EQ(screen(), first);
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->medFilial) << "a later menu call leaves the focus alone";
}

TEST_F(SurveyTest, AnotherModuleReplacesBranchAndPatientAndLoadsThePeriods) {
    openFor("0001", "000000000001", "Maria Aparecida Nogueira Campos");
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(boConsulta);
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001");
    EXPECT_EQ(screen()->header()->edtNmPaciente->Text(), "Maria Aparecida Nogueira Campos");
    ASSERT_TRUE(screen()->periods()->cdsInqPaci->Active());
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_EQ(QApplication::focusWidget(), screen()->periods()->dbgInquerito);

    openFor("0001", "000000000002", "");
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000002");
    EXPECT_FALSE(screen()->header()->edtNmPaciente->Text().isEmpty()) << "the name comes from the server";
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->FieldByName("DTINIINQU")->AsDate(), QDate(2026, 11, 16));
}

TEST_F(SurveyTest, AnotherModuleDropsAPeriodBeingTyped) {
    openFor("0001", "000000000001", "");
    screen()->sbtIncluirClick();
    ASSERT_EQ(screen()->periods()->cdsInqPaci->State(), hostfw::TDataSetState::dsInsert);
    openFor("0001", "000000000001", "");
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), hostfw::TDataSetState::dsBrowse);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
}

TEST_F(SurveyTest, OriginInAnyLetterCaseActsAsProgram) {
    open();
    CriaInquerito("Programa", "0001", "000000000001", "Maria");
    processEvents();
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001");
    CriaInquerito("menu", "0002", "X", "Y");
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001") << "other origins do not touch the header";
}

TEST_F(SurveyTest, ClosingTheScreenLetsTheNextCallCreateAFreshOne) {
    open();
    ASSERT_NE(screen(), nullptr);
    auto* sub = qobject_cast<QMdiSubWindow*>(screen()->parentWidget());
    ASSERT_NE(sub, nullptr) << "the screen is an MDI child";
    sub->close();
    processEvents();
    EXPECT_FALSE(boStCriado);
    EXPECT_EQ(frmInquerito, nullptr);

    open();
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->netInquerito->Connected());
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente) << "a new screen focuses the patient again";
}

TEST_F(SurveyTest, AnArgumentThatIsNotAListOfThreeFailsBeforeAnyScreen) {
    open(QVariantList{"0001", "000000000001"});
    EXPECT_EQ(screen(), nullptr);
    EXPECT_FALSE(boStCriado);
    ASSERT_FALSE(dialogs_->shown.empty());
    EXPECT_EQ(dialogs_->shown.back().kind, hostfw::DialogKind::Error);
}

TEST_F(SurveyTest, ScreenLaysOutItsPartsAndCodes) {
    openFor("0001", "000000000001", "");
    EXPECT_EQ(screen()->windowTitle(), QString("Inquérito do Paciente"));
    EXPECT_EQ(screen()->lblCodTela->text(), "ZEP12600");
    EXPECT_EQ(screen()->HelpContext, 11112600);
    EXPECT_EQ(screen()->pgcPadrao->widget(0), screen()->periods());
    EXPECT_EQ(screen()->pgcPadrao->tabText(0), QString("Período do Inquérito"));
    EXPECT_EQ(screen()->pgcPadrao->tabText(1), QString("Inquérito"));
    EXPECT_EQ(screen()->msgPadrao->Msg("dtIni"), QString("Data inicial deve ser informada."));
    EXPECT_EQ(screen()->msgPadrao->Msg("DTFim"), QString("DTFim")) << "unknown keys answer themselves";
    EXPECT_EQ(screen()->msgPadrao->Msg("dtfin"), QString("Data final deve ser informada."));
    EXPECT_EQ(screen()->dbtNome->text(), QString("30/11/2026 - 06/12/2026"));
    saveScreenshot("survey-periods");
}

TEST_F(SurveyTest, AMenuCallOnAnOpenScreenOnlyBringsItToFront) {
    openFor("0001", "000000000001", "");
    ASSERT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    open();
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001");
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_FALSE(boConsulta);
}

TEST_F(SurveyTest, CopyingFromTheItemsPageSettlesTheServiceFirst) {
    openFor("0001", "000000000001", "");
    screen()->mnuPadraoClick();
    focus(screen()->items()->depInquerito);
    screen()->items()->depInquerito->SetDate(QDate(2026, 11, 29));
    dialogs_->clear();
    hostfw::guard([&] { screen()->sbtCopiarInqClick(); });
    processEvents();
    ASSERT_EQ(dialogs_->shown.size(), 1u) << "the copy screen does not open";
    EXPECT_EQ(shownText(), QString("Data do inquérito deve estar dentro do período de inquérito."));
    EXPECT_EQ(QApplication::focusWidget()->parentWidget(), screen()->items()->depInquerito);

    screen()->items()->edtCdServico->SetText("00001");
    dialogs_->clear();
    // The copy screen is modal: note where the survey's focus went, then close it.
    QWidget* focusedWhileCopying = nullptr;
    QTimer::singleShot(0, [&] {
        focusedWhileCopying = screen()->focusWidget();
        if (auto* copy = qobject_cast<QDialog*>(QApplication::activeModalWidget())) copy->reject();
    });
    hostfw::guard([&] { screen()->sbtCopiarInqClick(); });
    processEvents();
    EXPECT_EQ(focusedWhileCopying, screen()->items()->edtCdServico);
}
