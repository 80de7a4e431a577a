// The survey screen's commands and the rules that enable them.
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
#include "host/core/Session.h"

#include <QApplication>

using hostfw::TDataSetState;

namespace {
const char* const kChained[] = {"mnuCalculo", "mnuCopiarInq", "mnuImprimir"};
}

TEST_F(SurveyTest, CommandPairsAlwaysShareTheirState) {
    openFor("0001", "000000000001", "");
    for (const char* pair : {"Incluir", "Alterar", "Excluir", "Procurar", "Verificar", "Confirmar", "Cancelar",
                             "Imprimir", "Calculo", "CopiarInq"}) {
        const QByteArray button = QByteArray("sbt") + pair;
        const QByteArray menu = QByteArray("mnu") + pair;
        EXPECT_EQ(enabled(button.constData()), enabled(menu.constData())) << pair;
    }
}

TEST_F(SurveyTest, CancellingANewPeriodEnablesIncludeAndDeleteButNotCalculateCopyOrPrint) {
    openFor("0001", "000000000001", "");
    screen()->sbtIncluirClick();
    ASSERT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
    EXPECT_TRUE(enabled("mnuConfirmar"));
    EXPECT_TRUE(enabled("mnuCancelar"));
    EXPECT_FALSE(enabled("mnuIncluir"));
    EXPECT_FALSE(enabled("panPaciente") && screen()->header()->edtCdPaciente->isEnabled()) << "the header is locked";
    EXPECT_FALSE(screen()->pgcPadrao->isTabEnabled(1));

    screen()->sbtCancelarClick();
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    for (const char* on : {"mnuIncluir", "mnuExcluir", "mnuProcurar", "mnuVerificar"}) EXPECT_TRUE(enabled(on)) << on;
    for (const char* off : kChained) EXPECT_FALSE(enabled(off)) << off;
    EXPECT_FALSE(enabled("mnuConfirmar"));
    EXPECT_TRUE(screen()->header()->edtCdPaciente->isEnabled());
}

TEST_F(SurveyTest, APatientWithoutPeriodsCannotReachTheItemsPage) {
    openFor("0001", "000000000003", "");
    ASSERT_TRUE(screen()->periods()->cdsInqPaci->Active());
    ASSERT_TRUE(screen()->periods()->cdsInqPaci->IsEmpty());
    EXPECT_FALSE(screen()->pgcPadrao->isTabEnabled(1));
    EXPECT_FALSE(screen()->mnuPadrao->isEnabled());
    EXPECT_FALSE(enabled("mnuExcluir"));
    EXPECT_TRUE(enabled("mnuIncluir"));
}

TEST_F(SurveyTest, IncludingAPeriodWithoutPatientAsksForThePatient) {
    openFor("0001", "000000000001", "");
    focus(screen()->header()->edtCdPaciente);
    screen()->header()->edtCdPaciente->SetText(QString());
    dialogs_->clear();
    hostfw::guard([&] { screen()->sbtIncluirClick(); });
    processEvents();
    EXPECT_EQ(shownText(), QString("Paciente deve ser informado."));
    EXPECT_NE(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
}

TEST_F(SurveyTest, EnteringTheHeaderEmptiesThePeriodsAndLocksThePages) {
    openFor("0001", "000000000001", "");
    ASSERT_FALSE(screen()->periods()->cdsInqPaci->IsEmpty());
    focus(screen()->header()->edtCdPaciente);
    EXPECT_TRUE(screen()->periods()->cdsInqPaci->IsEmpty());
    EXPECT_FALSE(screen()->pgcPadrao->isTabEnabled(1));
    for (const char* off : {"mnuIncluir", "mnuAlterar", "mnuExcluir", "mnuConfirmar", "mnuCancelar", "mnuCalculo",
                            "mnuCopiarInq", "mnuImprimir"})
        EXPECT_FALSE(enabled(off)) << off;
    focus(screen()->periods()->dbgInquerito);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1) << "leaving the header loads the periods again";
}

TEST_F(SurveyTest, BranchBoundToTheModuleStaysDisabled) {
    hostfw::session().moduleBoundToBranch = true;
    openFor("0001", "000000000001", "");
    EXPECT_FALSE(screen()->header()->medFilial->isEnabled());
    EXPECT_FALSE(screen()->header()->btpPesqFilial->isEnabled());
    EXPECT_FALSE(screen()->header()->lblFilial->isEnabled());
    screen()->sbtIncluirClick();
    screen()->sbtCancelarClick();
    EXPECT_FALSE(screen()->header()->medFilial->isEnabled());
    EXPECT_TRUE(screen()->header()->edtCdPaciente->isEnabled());
}

TEST_F(SurveyTest, ItemsPageSettlesTheDateAndSwitchingPagesEmptiesTheItems) {
    openFor("0001", "000000000001", "");
    screen()->mnuPadraoClick();
    processEvents();
    ASSERT_TRUE(screen()->itemsPageShowing());
    EXPECT_TRUE(screen()->mnuPadrao->isChecked());
    EXPECT_FALSE(screen()->mnuPaci->isChecked());
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 30));
    EXPECT_EQ(QApplication::focusWidget(), screen()->items()->edtCdServico);
    EXPECT_FALSE(enabled("mnuAlterar")) << "entering the service panel disables Alter";

    screen()->items()->edtCdServico->SetText("00001");
    dialogs_->busyCalls.clear();
    screen()->sbtVerificarClick();
    ASSERT_FALSE(screen()->items()->cdsProdPrat->IsEmpty()) << "Verify loads the day's items";
    ASSERT_EQ(dialogs_->busyCalls.size(), 2u);
    EXPECT_EQ(dialogs_->busyCalls[0], std::make_pair(true, 6));
    EXPECT_TRUE(enabled("mnuAlterar"));
    saveScreenshot("survey-items");

    screen()->mnuPaciClick();
    EXPECT_TRUE(screen()->items()->cdsProdPrat->IsEmpty());
    EXPECT_FALSE(enabled("mnuAlterar"));
    screen()->mnuPadraoClick();
    EXPECT_TRUE(screen()->items()->cdsProdPrat->IsEmpty()) << "items come back only from the grid or Verify";
}

TEST_F(SurveyTest, VerifyOnThePeriodsPageOnlyFlashesTheBusyIndicator) {
    openFor("0001", "000000000001", "");
    dialogs_->busyCalls.clear();
    screen()->sbtVerificarClick();
    ASSERT_EQ(dialogs_->busyCalls.size(), 2u);
    EXPECT_TRUE(dialogs_->busyCalls[0].first);
    EXPECT_FALSE(dialogs_->busyCalls[1].first);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
}

TEST_F(SurveyTest, AnsweringNoToCancelKeepsTheItemButResetsTheCommands) {
    openFor("0001", "000000000001", "");
    screen()->mnuPadraoClick();
    screen()->items()->edtCdServico->SetText("00001");
    screen()->sbtVerificarClick();
    ASSERT_FALSE(screen()->items()->cdsProdPrat->IsEmpty());
    screen()->items()->cdsProdPrat->Edit();
    ASSERT_EQ(screen()->items()->cdsProdPrat->State(), TDataSetState::dsEdit);
    dialogs_->confirmations.push_back(false);
    screen()->sbtCancelarClick();
    EXPECT_EQ(screen()->items()->cdsProdPrat->State(), TDataSetState::dsEdit);
    EXPECT_FALSE(enabled("mnuConfirmar"));
    EXPECT_FALSE(enabled("mnuCancelar"));
    for (const char* on : {"mnuAlterar", "mnuIncluir", "mnuExcluir", "mnuProcurar", "mnuVerificar", "mnuCalculo",
                           "mnuCopiarInq", "mnuImprimir"})
        EXPECT_TRUE(enabled(on)) << on;
    screen()->items()->cdsProdPrat->Cancel();
}
