// The calculation screen: opening, controls, focus, group check, the service
// and nutrient lists and the validation order.
#include "CalculationFixture.h"

#include "calculation/EnergyChart.h"
#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/NumberEdit.h"
#include "host/core/Failures.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "survey/SecondaryScreens.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

using hostfw::LookupAnswer;

TEST_F(CalculationTest, OpensOnTheSurveyPeriodWithItsControlsSet) {
    openCalculation();
    EXPECT_EQ(calc()->windowTitle(), QString("Cálculo de Inquérito do Paciente"));
    EXPECT_EQ(calc()->lblCodTela->text(), QString("ZEP12610"));
    EXPECT_EQ(calc()->depPerIni->Text(), QString("30/11/2026"));
    EXPECT_EQ(calc()->depPerFim->Text(), QString("06/12/2026"));
    EXPECT_TRUE(calc()->rbtTodos->isChecked());
    EXPECT_TRUE(calc()->rbtTNutri->isChecked());
    for (QWidget* off : std::initializer_list<QWidget*>{calc()->btnServ, calc()->btnNutriente, calc()->edtNmGrupo})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    // Results are read-only but not greyed out, and Tab passes them by.
    for (hostfw::TNumberEdit* result :
         {calc()->nedVct, calc()->nedProt, calc()->nedLipidio, calc()->nedCarbo, calc()->nedAlcool}) {
        EXPECT_TRUE(result->isEnabled()) << result->objectName().toStdString();
        EXPECT_TRUE(result->isReadOnly()) << result->objectName().toStdString();
        EXPECT_EQ(result->focusPolicy(), Qt::NoFocus) << result->objectName().toStdString();
    }
    EXPECT_TRUE(calc()->panVct->isVisible()) << "branch 0001 shows the VCT";
    EXPECT_TRUE(calc()->stListaServico.isEmpty());
    const QColor required = calc()->palette().color(QPalette::ToolTipBase);
    EXPECT_EQ(calc()->depPerIni->Edit()->palette().color(QPalette::Base), required);

    // Nothing is cut at the default size and font.
    expectNothingClipped();
    saveCalcScreenshot("calculo-aberto");
}

// The two demo branches differ: 0001 shows the VCT row, 0002 hides it.
TEST_F(CalculationTest, TheVctRowFollowsTheSurveyBranchAndThePercentagesRunEitherWay) {
    openCalculation("0002", "ZN0001");
    EXPECT_EQ(calc()->depPerIni->Text(), QString("23/11/2026"));
    EXPECT_FALSE(calc()->panVct->isVisible());
    confirm();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    EXPECT_NE(numberText("nedCarbo"), QString("0,000"));
    EXPECT_NE(numberText("nedVct"), QString("0,000"));
}

TEST_F(CalculationTest, TabOrderAndTheLoadsItStarts) {
    openCalculation();
    focus(calc()->depPerIni);
    const std::vector<QWidget*> expected = {calc()->depPerFim, calc()->rbtTodos, calc()->dbgNutriente,
                                            calc()->medCdGrupo, calc()->rbtTNutri, calc()->dbgMicro};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        processEvents();
        QWidget* now = QApplication::focusWidget();
        ASSERT_TRUE(now == next || next->isAncestorOf(now) || now->focusProxy() == next)
            << "expected " << next->objectName().toStdString() << ", got " << now->objectName().toStdString();
        if (next == calc()->dbgNutriente) {
            EXPECT_EQ(calc()->cdsMacro->RecordCount(), 4) << "entering the grid loads the macronutrients";
            EXPECT_TRUE(calc()->nedVct->Text().isEmpty()) << "and computes nothing";
        }
    }
    EXPECT_EQ(calc()->cdsCalc->RecordCount(), 22);
    EXPECT_FALSE(calc()->nedVct->Text().isEmpty());

    // Entering the group panel empties the micronutrients, the period panel both tables.
    focus(calc()->medCdGrupo);
    EXPECT_TRUE(calc()->cdsCalc->IsEmpty());
    EXPECT_EQ(calc()->cdsMacro->RecordCount(), 4);
    focus(calc()->depPerFim);
    EXPECT_TRUE(calc()->cdsMacro->IsEmpty());
}

// A calculation, then the user goes back to change the period: the grids, VCT,
// percentages and chart all empty together; the window never changes size.
TEST_F(CalculationTest, ResultsEmptyTogetherWhenThePeriodChangesAndTheWindowKeepsItsSize) {
    openCalculation();
    const QSize opened = calc()->size();
    confirm();
    ASSERT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    ASSERT_EQ(calc()->chtEnergia->sliceTexts().size(), 4);
    ASSERT_FALSE(calc()->nedVct->Text().isEmpty());
    EXPECT_EQ(calc()->size(), opened) << "the chart's legend does not widen the window";
    expectNothingClipped();
    saveCalcScreenshot("calculo-semana");

    QTest::mouseClick(calc()->depPerIni->Edit(), Qt::LeftButton);
    processEvents();
    ASSERT_TRUE(calc()->depPerIni->isAncestorOf(QApplication::focusWidget()));
    calc()->depPerIni->Edit()->selectAll();
    QTest::keyClicks(calc()->depPerIni->Edit(), "01122026");
    processEvents();
    EXPECT_TRUE(calc()->cdsMacro->IsEmpty());
    EXPECT_TRUE(calc()->cdsCalc->IsEmpty());
    for (hostfw::TNumberEdit* result :
         {calc()->nedVct, calc()->nedProt, calc()->nedLipidio, calc()->nedCarbo, calc()->nedAlcool})
        EXPECT_TRUE(result->Text().isEmpty()) << result->objectName().toStdString();
    EXPECT_TRUE(calc()->chtEnergia->sliceTexts().isEmpty());
    for (QLabel* legend : calc()->chtEnergia->findChildren<QLabel*>())
        if (legend->pixmap().isNull() && legend->text() != "Distribuição energética") EXPECT_TRUE(legend->text().isEmpty());
    EXPECT_EQ(calc()->size(), opened);

    confirm();
    EXPECT_EQ(calc()->chtEnergia->sliceTexts().size(), 4) << "a new calculation over the new period";
    saveCalcScreenshot("calculo-periodo-alterado");
}

TEST_F(CalculationTest, GroupCodeIsPaddedCheckedAndResetsTheNutrientList) {
    openCalculation();
    typeInto(calc()->medCdGrupo, "1");
    focus(calc()->rbtTNutri);
    EXPECT_EQ(calc()->medCdGrupo->Text(), QString("01"));
    EXPECT_EQ(calc()->edtNmGrupo->Text(), QString("Macronutrientes"));

    // An unknown group keeps the focus and names nothing.
    focus(calc()->medCdGrupo);
    calc()->medCdGrupo->selectAll();
    QTest::keyClicks(calc()->medCdGrupo, "9");
    focus(calc()->rbtTNutri);
    EXPECT_EQ(shownText(), QString("Grupo de nutriente não cadastrado."));
    EXPECT_EQ(QApplication::focusWidget(), calc()->medCdGrupo);
    EXPECT_TRUE(calc()->edtNmGrupo->Text().isEmpty());

    // A nutrient list is dropped when the group changes.
    calc()->medCdGrupo->SetText("03");
    focus(calc()->rbtTNutri);
    click(calc()->rbtLNutri);
    EXPECT_TRUE(calc()->btnNutriente->isEnabled());
    LookupAnswer marks;
    marks.accepted = true;
    marks.marked = {"019"};
    dialogs_->lookups.push_back(marks);
    click(calc()->btnNutriente);
    ASSERT_EQ(calc()->stListaNutriente, QString("_019_"));
    typeInto(calc()->medCdGrupo, "2");
    EXPECT_TRUE(calc()->rbtTNutri->isChecked());
    EXPECT_TRUE(calc()->stListaNutriente.isEmpty());
    EXPECT_FALSE(calc()->btnNutriente->isEnabled());
    EXPECT_TRUE(calc()->edtNmGrupo->Text().isEmpty());
}

TEST_F(CalculationTest, GroupLookupListsEveryGroupAndFillsCodeAndName) {
    openCalculation();
    calc()->medCdGrupo->SetText("02");
    focus(calc()->rbtTNutri);  // the check leaves the query on group 02 alone
    LookupAnswer pick;
    pick.accepted = true;
    pick.row = 2;
    dialogs_->lookups.push_back(pick);
    click(calc()->btpGrupo);
    ASSERT_FALSE(dialogs_->lookupsShown.empty());
    EXPECT_EQ(dialogs_->lookupsShown.back().dataSet->RecordCount(), 4);
    EXPECT_EQ(dialogs_->lookupsShown.back().title, QString("Grupo de Nutriente"));
    EXPECT_EQ(calc()->medCdGrupo->Text(), QString("03"));
    EXPECT_EQ(calc()->edtNmGrupo->Text(), QString("Vitaminas"));
}

TEST_F(CalculationTest, NutrientListOfTheGroupStartsTheCalculationOnlyWhenSomethingIsMarked) {
    openCalculation();
    typeInto(calc()->medCdGrupo, "3");
    focus(calc()->rbtTNutri);
    click(calc()->rbtLNutri);
    dialogs_->lookups.push_back(LookupAnswer{});  // closed without marking
    click(calc()->btnNutriente);
    ASSERT_FALSE(dialogs_->lookupsShown.empty()) << shownText().toStdString();
    const auto& shown = dialogs_->lookupsShown.back();
    EXPECT_EQ(shown.title, QString("Nutriente"));
    EXPECT_EQ(shown.emptyText, QString("Não há nutriente cadastrado para o grupo informado."));
    EXPECT_EQ(shown.dataSet->RecordCount(), 8) << "the vitamins of group 03";
    EXPECT_FALSE(calc()->cdsCalc->Active() && !calc()->cdsCalc->IsEmpty());
    EXPECT_TRUE(calc()->nedVct->Text().isEmpty());
    EXPECT_EQ(dialogs_->busyDepth, 0);
    EXPECT_EQ(dialogs_->busyCalls.front(), std::make_pair(true, 6));

    LookupAnswer marks;
    marks.accepted = true;
    marks.marked = {"021", "019"};
    dialogs_->lookups.push_back(marks);
    click(calc()->btnNutriente);
    EXPECT_EQ(calc()->stListaNutriente, QString("_019_021_"));
    EXPECT_EQ(calc()->cdsCalc->RecordCount(), 2);
    EXPECT_EQ(calc()->cdsMacro->RecordCount(), 4);
    EXPECT_FALSE(calc()->nedVct->Text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), calc()->dbgMicro);
}

TEST_F(CalculationTest, ServiceListsAreBuiltFromTheServerOrChosenAndDroppedByTheRadioButtons) {
    CalcServer& server = watchServer();
    openCalculation();
    server.clearCalls();
    confirm();
    EXPECT_EQ(calc()->stListaServico, QString("_00001_00002_00003_00004_00005_00006_"));
    // What went on the wire, in order: services rebuilt by each method, and the
    // four macronutrients carbohydrate, protein, lipid, alcohol.
    const std::vector<std::string> expected = {"GetServico", "getMacro", "GetDiasInq", "GetServico", "GetParamGeral",
                                               "GetCalc", "GetNutrCalc", "GetNutrCalc", "GetNutrCalc", "GetNutrCalc"};
    const auto calls = server.calls();
    ASSERT_GE(calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(calls[i].operation, expected[i]) << i;
    EXPECT_EQ(calls[0].params, protocol::json::array({"T", "0001"}));
    EXPECT_EQ(calls[1].params, protocol::json::array({"000000000001", "2026-11-30", "2026-12-06", "0001",
                                                      "_00001_00002_00003_00004_00005_00006_"}));
    EXPECT_EQ(calls[5].params[4], "") << "no group typed";
    EXPECT_EQ(calls[5].params[5], "T") << "every nutrient";
    EXPECT_EQ(calls[5].params[6], "_00001_00002_00003_00004_00005_00006_");
    const char* macros[] = {"007", "004", "005", "027"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(calls[6 + i].params[5], macros[i]);

    click(calc()->rbtLista);
    EXPECT_TRUE(calc()->stListaServico.isEmpty());
    EXPECT_TRUE(calc()->btnServ->isEnabled());
    LookupAnswer marks;
    marks.accepted = true;
    marks.marked = {"00005", "00002"};
    dialogs_->lookups.push_back(marks);
    click(calc()->btnServ);
    const auto& shown = dialogs_->lookupsShown.back();
    EXPECT_EQ(shown.title, QString("Serviço"));
    EXPECT_EQ(shown.emptyText, QString("Não há serviço cadastrado."));
    EXPECT_EQ(shown.keyField, QString("CDSERVFILI"));
    EXPECT_EQ(shown.dataSet->RecordCount(), 6);
    EXPECT_EQ(calc()->stListaServico, QString("_00002_00005_"));
    EXPECT_EQ(QApplication::focusWidget(), calc()->depPerIni->Edit());
    confirm();
    EXPECT_EQ(calc()->stListaServico, QString("_00002_00005_")) << "a chosen list is kept";

    click(calc()->rbtTodos);
    EXPECT_TRUE(calc()->stListaServico.isEmpty());
    EXPECT_FALSE(calc()->btnServ->isEnabled());
}

// Each check stops the calculation with its message and focus; fixing it
// brings the next one. The tables load (empty) before the checks, without
// a server failure, whatever the dates.
TEST_F(CalculationTest, ValidationsRunInOrderWithTheirFocus) {
    openCalculation();
    calc()->depPerIni->SetText("31/02/2026");
    calc()->medCdGrupo->SetText("77");
    calc()->depPerFim->SetText("  /  /    ");
    click(calc()->rbtLista);
    click(calc()->rbtLNutri);
    struct Step {
        QString message;
        QWidget* focus;
        std::function<void()> fix;
    };
    const std::vector<Step> steps = {
        {"'31/02/2026' não é uma data válida.", nullptr, [&] { calc()->depPerIni->SetText("  /  /    "); }},
        {"Grupo de nutriente não cadastrado.", calc()->medCdGrupo,
         [&] {
             calc()->medCdGrupo->SetText("");  // drops the nutrient choice too
             click(calc()->rbtLNutri);
         }},
        {"Data do período inicial deve ser informada.", calc()->depPerIni->Edit(),
         [&] { calc()->depPerIni->SetText("05/12/2026"); }},
        {"Data do período final deve ser informada.", calc()->depPerFim->Edit(),
         [&] { calc()->depPerFim->SetText("01/12/2026"); }},
        {"Data do período inicial deve ser menor ou igual a data do período final.", calc()->depPerIni->Edit(),
         [&] { calc()->depPerFim->SetText("05/12/2026"); }},
        {"Serviço deve ser informado.", calc()->rbtLista, [&] { click(calc()->rbtTodos); }},
        {"Nutriente deve ser informado.", calc()->rbtLNutri, [&] { click(calc()->rbtTNutri); }},
    };
    for (const Step& step : steps) {
        dialogs_->clear();
        confirm();
        ASSERT_EQ(dialogs_->shown.size(), 1u) << step.message.toStdString();
        EXPECT_EQ(shownText(), step.message);
        if (step.focus) EXPECT_EQ(QApplication::focusWidget(), step.focus) << step.message.toStdString();
        EXPECT_TRUE(calc()->nedVct->Text().isEmpty()) << "nothing computed";
        step.fix();
    }
    dialogs_->clear();
    confirm();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    EXPECT_FALSE(calc()->nedVct->Text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), calc()->dbgMicro);
}

// Opened by the survey's toolbar button and by Ctrl+C, modal, with its own
// connection; closing frees it.
TEST_F(CalculationTest, TheSurveyOpensItModallyByButtonAndShortcut) {
    openFor("0001", "000000000001", "");
    ASSERT_TRUE(screen()->sbtCalculo->isEnabled());
    for (int way = 0; way < 2; ++way) {
        QString seen;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            if (!frmCalculo) return;
            modal = frmCalculo->isModal() && QApplication::activeModalWidget() == frmCalculo;
            seen = frmCalculo->depPerFim->Text();
            QTest::mouseClick(frmCalculo->sbtConfirma, Qt::LeftButton);
            seen += " " + frmCalculo->nedVct->Text();
            QTest::mouseClick(frmCalculo->sbtCancel, Qt::LeftButton);
        });
        if (way == 0)
            QTest::mouseClick(screen()->sbtCalculo, Qt::LeftButton);
        else
            screen()->mnuCalculo->trigger();
        processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(modal) << way;
        EXPECT_TRUE(seen.startsWith("06/12/2026 ")) << seen.toStdString();
        EXPECT_GT(seen.size(), QString("06/12/2026 ").size()) << "the VCT was computed";
        EXPECT_EQ(frmCalculo, nullptr);
        EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    }
}
