// Branch, patient and service selection on the survey screen.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "host/controls/BtnPesquisa.h"
#include "host/data/DBGrid.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Session.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using hostfw::TDataSetState;

namespace {
const QString kMaria = "Maria Aparecida Nogueira Campos";
}

TEST_F(SurveyTest, ShortPatientCodeIsPaddedWhenTheBranchAsksForIt) {
    open();
    screen()->header()->edtCdPaciente->SetText("1");
    focus(screen()->periods()->dbgInquerito);
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001");
    EXPECT_EQ(screen()->header()->edtNmPaciente->Text(), kMaria);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_EQ(QApplication::focusWidget(), screen()->periods()->dbgInquerito);
}

TEST_F(SurveyTest, PatientCodeIsLookedUpAsTypedWhenTheBranchDoesNotPad) {
    open();
    focus(screen()->header()->medFilial);
    screen()->header()->medFilial->SetText("0002");
    typeInto(screen()->header()->edtCdPaciente, "zn0001");
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "ZN0001") << "typed letters become upper case";
    focus(screen()->periods()->dbgInquerito);
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "ZN0001");
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);

    focus(screen()->header()->edtCdPaciente);
    screen()->header()->edtCdPaciente->SetText("1");
    dialogs_->clear();
    focus(screen()->periods()->dbgInquerito);
    EXPECT_EQ(shownText(), QString("Paciente não cadastrado."));
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "1") << "no padding for this branch";
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
}

TEST_F(SurveyTest, AnEmptyPatientIsRefusedOnlyWhenTheHeaderIsLeft) {
    open();
    ASSERT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    dialogs_->clear();
    focus(screen()->header()->medFilial);
    EXPECT_TRUE(dialogs_->shown.empty()) << "tabbing inside the header checks nothing";
    focus(screen()->periods()->dbgInquerito);
    EXPECT_EQ(shownText(), QString("Paciente deve ser informado."));
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->edtCdPaciente);
    EXPECT_FALSE(screen()->periods()->cdsInqPaci->Active() && !screen()->periods()->cdsInqPaci->IsEmpty());
}

TEST_F(SurveyTest, ChangingTheBranchClearsThePatient) {
    openFor("0001", "000000000001", kMaria);
    focus(screen()->header()->medFilial);
    QTest::keyClick(screen()->header()->medFilial, Qt::Key_Home);
    QTest::keyClicks(screen()->header()->medFilial, "0002");
    ASSERT_EQ(screen()->header()->medFilial->Text(), "0002");
    EXPECT_TRUE(screen()->header()->edtCdPaciente->Text().isEmpty());
    EXPECT_TRUE(screen()->header()->edtNmPaciente->Text().isEmpty());
    EXPECT_TRUE(screen()->header()->edtNmFilial->Text().isEmpty());
}

TEST_F(SurveyTest, BranchFieldTakesOnlyLettersAndDigitsInUpperCase) {
    open();
    focus(screen()->header()->medFilial);
    screen()->header()->medFilial->SetText(QString());
    QTest::keyClicks(screen()->header()->medFilial, "a-1 b");
    EXPECT_EQ(screen()->header()->medFilial->Text(), "A1B");
    QTest::keyClick(screen()->header()->medFilial, Qt::Key_Backspace);
    EXPECT_EQ(screen()->header()->medFilial->Text(), "A1B") << "backspace is dropped like any sign";
    QTest::keyClick(screen()->header()->medFilial, Qt::Key_Home);
    QTest::keyClick(screen()->header()->medFilial, Qt::Key_Delete);
    EXPECT_EQ(screen()->header()->medFilial->Text().trimmed(), "1B") << "the Delete key still works";
}

TEST_F(SurveyTest, ABranchTheOperatorMayNotUseIsRefusedOnLeaving) {
    hostfw::session().operatorCode = "NUTRI1";
    hostfw::session().branchCode = "0002";
    open();
    focus(screen()->header()->medFilial);
    screen()->header()->medFilial->SetText("0001");
    dialogs_->clear();
    focus(screen()->header()->edtCdPaciente);
    ASSERT_FALSE(dialogs_->shown.empty());
    EXPECT_EQ(dialogs_->shown.back().kind, hostfw::DialogKind::Error);
    EXPECT_EQ(QApplication::focusWidget(), screen()->header()->medFilial);
}

class SurveyServiceTest : public SurveyTest {
protected:
    // Items page of the demo patient's week, on its first day.
    void SetUp() override {
        SurveyTest::SetUp();
        openFor("0001", "000000000001", kMaria);
        screen()->mnuPadraoClick();
        processEvents();
        ASSERT_EQ(QApplication::focusWidget(), screen()->items()->edtCdServico);
    }
    void leaveService() { focus(screen()->items()->medHorario); }
};

TEST_F(SurveyServiceTest, AServiceOfAnotherBranchIsNotRegistered) {
    screen()->items()->edtCdServico->SetText("7");
    dialogs_->clear();
    leaveService();
    EXPECT_EQ(screen()->items()->edtCdServico->Text(), "00007");
    EXPECT_EQ(shownText(), QString("Serviço não cadastrado."));
    EXPECT_TRUE(screen()->items()->edtNmServico->Text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), screen()->items()->edtCdServico);
}

TEST_F(SurveyServiceTest, AServiceTypedFillsItsStartTimeOnlyIntoAnEmptyTime) {
    screen()->items()->edtCdServico->SetText("2");
    leaveService();
    EXPECT_EQ(screen()->items()->edtNmServico->Text(), QString("Colação"));
    EXPECT_EQ(screen()->items()->medHorario->Text(), "09:30") << "no time stored on 30/11 for this service";

    focus(screen()->items()->edtCdServico);
    screen()->items()->edtCdServico->SetText("00004");
    screen()->items()->medHorario->SetText("1000");
    leaveService();
    EXPECT_EQ(screen()->items()->medHorario->Text(), "10:00") << "a typed time is kept";
}

TEST_F(SurveyServiceTest, AServiceChosenInTheSearchFillsItsStartTime) {
    hostfw::LookupAnswer pick;
    pick.accepted = true;
    pick.row = 1;  // Colação
    dialogs_->lookups.push_back(pick);
    screen()->items()->BtnPesquisa2->Click();
    processEvents();
    EXPECT_EQ(screen()->items()->edtCdServico->Text(), "00002");
    EXPECT_EQ(screen()->items()->medHorario->Text(), "09:30");
}

TEST_F(SurveyServiceTest, AStoredTimeIsShownInsteadOfTheStartTime) {
    screen()->items()->depInquerito->SetDate(QDate(2026, 12, 1));
    focus(screen()->items()->edtCdServico);
    screen()->items()->edtCdServico->SetText("00003");
    leaveService();
    EXPECT_EQ(screen()->items()->medHorario->Text(), "12:15") << "the time stored for lunch on 01/12";
}

TEST_F(SurveyServiceTest, SteppingOutsideThePeriodIsUndoneWhenTheDateIsLeft) {
    EXPECT_EQ(screen()->items()->edtDiaSemana->Text(), QString("Segunda"));
    screen()->items()->sbtOntemClick();
    processEvents();
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 29));
    EXPECT_EQ(QApplication::focusWidget()->parentWidget(), screen()->items()->depInquerito);
    EXPECT_EQ(screen()->items()->edtDiaSemana->Text(), QString("Domingo"));
    dialogs_->clear();
    focus(screen()->items()->edtCdServico);
    EXPECT_EQ(shownText(), QString("Data do inquérito deve estar dentro do período de inquérito."));
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 30));
    EXPECT_NE(QApplication::focusWidget(), screen()->items()->edtCdServico);

    screen()->items()->depInquerito->SetDate(QDate(2026, 12, 6));
    screen()->items()->sbtAmanhaClick();
    dialogs_->clear();
    focus(screen()->items()->edtCdServico);
    EXPECT_EQ(shownText(), QString("Data do inquérito deve estar dentro do período de inquérito."));
    EXPECT_EQ(screen()->items()->depInquerito->Date(), QDate(2026, 11, 30)) << "set back to the period's first day";
}

class SurveyFilterFileTest : public SurveyTest {
protected:
    void SetUp() override {
        SurveyTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        hostfw::session().executableFolder = folder_.path();
        hostfw::session().activeModule = 10;
    }
    QString filePath() const { return folder_.filePath("FILPACI.cds"); }
    QTemporaryDir folder_;
};

TEST_F(SurveyFilterFileTest, TheFilterFilePresetsBranchAndPatientAndLoadsThePeriods) {
    hostfw::TClientDataSet filter(nullptr, "filter");
    filter.AddField("CDFILIAL", hostfw::TFieldType::ftString, 4);
    filter.AddField("CDPACIENTE", hostfw::TFieldType::ftString, 12);
    filter.CreateDataSet();
    filter.Append();
    filter.FieldByName("CDFILIAL")->SetAsString("0001");
    filter.FieldByName("CDPACIENTE")->SetAsString("000000000002");
    filter.Post();
    filter.SaveToFile(filePath());

    open();
    EXPECT_EQ(stPath, filePath());
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000002");
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
    EXPECT_EQ(QApplication::focusWidget(), screen()->periods()->dbgInquerito);
    EXPECT_TRUE(QFile::exists(filePath())) << "the file is left in place";
}

TEST_F(SurveyFilterFileTest, WithoutTheFileTheHostBranchIsUsed) {
    open();
    EXPECT_EQ(screen()->header()->medFilial->Text(), "0001");
    EXPECT_TRUE(screen()->header()->edtCdPaciente->Text().isEmpty());
}

TEST_F(SurveyFilterFileTest, ADamagedFileFallsBackToTheHostBranch) {
    QFile file(filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01\x02 not a saved data set {");
    file.close();
    open();
    ASSERT_NE(screen(), nullptr);
    EXPECT_EQ(screen()->header()->medFilial->Text(), "0001");
    EXPECT_TRUE(screen()->header()->edtCdPaciente->Text().isEmpty());
}

TEST_F(SurveyTest, ThePatientSearchRunsThroughTheServerAndLoadsThePeriods) {
    open();
    hostfw::LookupAnswer pick;
    pick.accepted = true;
    dialogs_->onLookup = [&](const hostfw::LookupRequest& request) {
        // Rows come ordered by name; pick the demo patient with the recorded week.
        hostfw::TClientDataSet* rows = request.dataSet;
        for (int i = 0; i < rows->RecordCount(); ++i)
            if (rows->ValueAt(i, rows->FieldByName("CDPACIENTE")->Index()).toString() == "000000000001") pick.row = i;
        dialogs_->lookups.push_back(pick);
    };
    screen()->header()->btnPesqPaciente->Click();
    processEvents();
    ASSERT_EQ(dialogs_->lookupsShown.size(), 1u);
    EXPECT_EQ(dialogs_->lookupsShown[0].title, QString("Paciente"));
    EXPECT_EQ(dialogs_->lookupsShown[0].dataSet->RecordCount(), 18) << "the patients of branch 0001";
    EXPECT_EQ(screen()->header()->edtCdPaciente->Text(), "000000000001");
    EXPECT_EQ(screen()->header()->edtNmPaciente->Text(), kMaria);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1);
}

TEST_F(SurveyTest, TheBranchSearchListsEveryBranch) {
    open();
    hostfw::LookupAnswer pick;
    pick.accepted = true;
    pick.row = 1;
    dialogs_->lookups.push_back(pick);
    screen()->header()->btpPesqFilial->Click();
    processEvents();
    ASSERT_EQ(dialogs_->lookupsShown.size(), 1u);
    EXPECT_EQ(dialogs_->lookupsShown[0].dataSet->RecordCount(), 2);
    EXPECT_EQ(screen()->header()->medFilial->Text(), "0002");
    EXPECT_FALSE(screen()->header()->edtNmFilial->Text().isEmpty());
}

TEST_F(SurveyServiceTest, TheItemsGridAsksForTheServiceFirst) {
    dialogs_->clear();
    focus(screen()->items()->dbgProdPrat);
    EXPECT_EQ(shownText(), QString("Serviço deve ser informado."));
    EXPECT_EQ(QApplication::focusWidget(), screen()->items()->edtCdServico);
    EXPECT_TRUE(screen()->items()->cdsProdPrat->IsEmpty());

    screen()->items()->edtCdServico->SetText("00001");
    dialogs_->clear();
    focus(screen()->items()->dbgProdPrat);
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 4) << "breakfast of 30/11";
}
