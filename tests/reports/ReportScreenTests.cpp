// The report screen "ZEP12620" over the survey of the demo patient: opening
// from the print menu, the checks in front of print, preview and save-as,
// the code lists, the lookups and the parameters handed to the layouts.
#include "SurveyFixture.h"

#include "host/connection/ADOIBQuery.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/reports/ReportParams.h"
#include "reports/Cli_Zep12620.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

using namespace hostfw;

namespace {

class ReportScreenTest : public SurveyTest {
protected:
    void SetUp() override {
        qputenv("INQUERITO_REPORTS_DIR", INQUERITO_LAYOUTS_DIR);
        SurveyTest::SetUp();
        openFor("0001", "000000000001", "");
        ASSERT_TRUE(screen());
    }
    void TearDown() override {
        if (rel_) rel_->close();
        delete rel_.data();
        frmRelInquerito = nullptr;
        qunsetenv("INQUERITO_REPORTS_DIR");
        SurveyTest::TearDown();
    }

    // The screen as CriaRelInquerito makes it for the survey screen's context,
    // shown without blocking, with the modal parts of the report run recorded
    // instead.
    TfrmRelInquerito* openReport() {
        rel_ = frmRelInquerito = new TfrmRelInquerito(screen()->surveyContext(), main_.get());
        rel_->setAttribute(Qt::WA_DeleteOnClose, false);
        rel_->show();
        QApplication::setActiveWindow(rel_);
        EXPECT_TRUE(QTest::qWaitForWindowActive(rel_));
        rel_->rpddPadrao->ShowPreview = [this](QTextDocument& d) { ran_ << "preview"; text_ = d.toPlainText(); };
        rel_->rpddPadrao->AskPrinter = [this](QPrinter&) { ran_ << "print"; return false; };
        rel_->rpddPadrao->AskSaveFileName = [this](const QString&) { ran_ << "save"; return QString(); };
        rel_->AskText = [](const QString&, const QString&, const QString& value) { return std::optional<QString>(value); };
        return rel_;
    }

    void command(TButtonFlat* button) {
        dialogs_->clear();
        guard([&] { button->Click(); });
        processEvents();
    }
    void leave(QWidget* from, QWidget* to) {
        focus(from);
        focus(to);
    }

    QPointer<TfrmRelInquerito> rel_;
    QStringList ran_;
    QString text_;
};

QString allServices() { return "_00001_00002_00003_00004_00005_00006_"; }

}  // namespace

TEST_F(ReportScreenTest, PrintMenuOpensTheModalScreenWithThePeriodAndTheLayouts) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
        TfrmRelInquerito* s = frmRelInquerito;
        if (!s) return;
        seen << s->windowTitle() << s->lblCodTela->text() << s->lblCodRel->text()
             << QString::number(s->HelpContext) << s->depIni->Text() << s->depFim->Text()
             << s->cbbReportNames->itemText(0) << s->cbbReportNames->itemText(1)
             << QString::number(s->isModal()) << QString::number(s->rbtTNutri->isChecked())
             << QString::number(s->rbtTServ->isChecked()) << QString::number(s->btnNutriente->isEnabled())
             << QString::number(s->btnServico->isEnabled()) << QString::number(s->edtGrupo->MaxLength());
        s->grab().save(QCoreApplication::applicationDirPath() + "/screenshots/report_screen.png");
        s->reject();
    });
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/screenshots");
    screen()->findChild<QAction*>("mnuRelInquerito")->trigger();
    processEvents();
    EXPECT_EQ(seen, (QStringList{"Inquérito do Paciente", "ZEP12620", "ZEP126", "11112620", "30/11/2026", "06/12/2026",
                                 "Inquérito do paciente por refeição", "Totais de nutrientes do período", "1", "1", "1",
                                 "0", "0", "2"}));
    EXPECT_EQ(frmRelInquerito, nullptr) << "closed and forgotten";
    EXPECT_TRUE(dialogs_->shown.empty()) << "no more \"não está disponível\"";
}

TEST_F(ReportScreenTest, ListaWithoutItsLookupStopsEveryCommand) {
    TfrmRelInquerito* s = openReport();
    s->rbtLNutri->click();
    for (TButtonFlat* b : {s->sbtPrint, s->sbtPreview, s->sbtSalvarComo}) {
        command(b);
        EXPECT_EQ(shownText(), "Nutriente deve ser informado.") << b->objectName().toStdString();
        EXPECT_EQ(QApplication::focusWidget(), s->rbtLNutri);
    }
    s->rbtTNutri->click();
    s->rbtLServ->click();
    for (TButtonFlat* b : {s->sbtPrint, s->sbtPreview, s->sbtSalvarComo}) {
        command(b);
        EXPECT_EQ(shownText(), "Serviço deve ser informado.") << b->objectName().toStdString();
        EXPECT_EQ(QApplication::focusWidget(), s->rbtLServ);
    }
    EXPECT_TRUE(ran_.isEmpty()) << "nothing printed, previewed or saved";
}

TEST_F(ReportScreenTest, ListLookupsFillTheListsAndSwitchingDropsThem) {
    TfrmRelInquerito* s = openReport();
    s->rbtLNutri->click();
    EXPECT_TRUE(s->btnNutriente->isEnabled());
    s->edtGrupo->SetText("3");
    dialogs_->lookups.push_back({true, -1, {"019", "026"}});
    guard([&] { s->btnNutriente->Click(); });
    ASSERT_EQ(dialogs_->lookupsShown.size(), 1u);
    const LookupRequest& nutr = dialogs_->lookupsShown[0];
    EXPECT_EQ(nutr.title, "Nutriente");
    EXPECT_EQ(nutr.emptyText, "Não há nutriente cadastrado para o grupo informado.");
    EXPECT_EQ(nutr.keyField, "CDNUTRIENTE");
    EXPECT_EQ(nutr.dataSet->RecordCount(), 8) << "the vitamins of group 03";
    EXPECT_EQ(s->edtGrupo->Text(), "03") << "the group was checked first";
    EXPECT_EQ(s->edtNmGrupo->Text(), "Vitaminas");
    EXPECT_EQ(s->stListaNutriente, "_019_026_");

    // F9 on "Lista" opens the same lookup, with the list marked.
    dialogs_->lookups.push_back({true, -1, {"020"}});
    focus(s->rbtLNutri);
    QTest::keyClick(s->rbtLNutri, Qt::Key_F9);
    ASSERT_EQ(dialogs_->lookupsShown.size(), 2u);
    EXPECT_EQ(dialogs_->lookupsShown[1].marked, (QStringList{"019", "026"}));
    EXPECT_EQ(s->stListaNutriente, "_020_");

    s->rbtLServ->click();
    dialogs_->lookups.push_back({true, -1, {"00003"}});
    guard([&] { s->btnServico->Click(); });
    ASSERT_EQ(dialogs_->lookupsShown.size(), 3u);
    EXPECT_EQ(dialogs_->lookupsShown[2].title, "Serviço");
    EXPECT_EQ(dialogs_->lookupsShown[2].dataSet->RecordCount(), 6) << "the services of branch 0001";
    EXPECT_EQ(s->stListaServico, "_00003_");

    command(s->sbtPreview);
    EXPECT_EQ(ran_, QStringList{"preview"});
    EXPECT_TRUE(text_.contains("Almoço")) << text_.left(300).toStdString();
    EXPECT_FALSE(text_.contains("Jantar"));
    EXPECT_EQ(s->stListaNutriente, "_020_") << "a chosen list is kept by the commands";

    s->rbtTNutri->click();
    EXPECT_TRUE(s->stListaNutriente.isEmpty());
    EXPECT_FALSE(s->btnNutriente->isEnabled());
    s->rbtLServ->click();  // clicking the selected one drops it as well
    EXPECT_TRUE(s->stListaServico.isEmpty());
}

TEST_F(ReportScreenTest, TodosRebuildsTheListsFromTheGroupAtEveryCommand) {
    TfrmRelInquerito* s = openReport();
    typeInto(s->edtGrupo, "2");
    leave(s->edtGrupo, s->depIni);
    EXPECT_EQ(s->edtGrupo->Text(), "02") << "\"2\" becomes the lookup key \"02\"";
    EXPECT_EQ(s->edtNmGrupo->Text(), "Minerais");
    command(s->sbtPreview);
    EXPECT_EQ(s->stListaNutriente, "_010_011_012_013_014_015_016_017_018_");
    EXPECT_EQ(s->stListaServico, allServices());
    EXPECT_EQ(ran_, QStringList{"preview"});

    // A group that holds no nutrient: "_" and the command goes on.
    s->edtGrupo->SetText("99");
    command(s->sbtPrint);
    EXPECT_EQ(s->stListaNutriente, "_");
    EXPECT_EQ(ran_, (QStringList{"preview", "print"}));
    EXPECT_TRUE(dialogs_->shown.empty());

    s->edtGrupo->SetText(QString());
    command(s->sbtSalvarComo);
    EXPECT_EQ(s->stListaNutriente.count('_'), 28) << "no group: every nutrient";
    EXPECT_EQ(ran_.last(), "save");
}

TEST_F(ReportScreenTest, UnknownGroupKeepsTheFocusWithoutAName) {
    TfrmRelInquerito* s = openReport();
    typeInto(s->edtGrupo, "7");
    focus(s->depIni);
    EXPECT_EQ(shownText(), "Grupo não cadastrado.");
    EXPECT_EQ(QApplication::focusWidget(), s->edtGrupo);
    EXPECT_TRUE(s->edtNmGrupo->Text().isEmpty());

    dialogs_->lookups.push_back({true, 1, {}});
    guard([&] { s->BtnPesquisa2->Click(); });
    ASSERT_EQ(dialogs_->lookupsShown.size(), 1u);
    EXPECT_EQ(dialogs_->lookupsShown[0].dataSet->RecordCount(), 4) << "the lookup lists every group";
    EXPECT_EQ(s->edtGrupo->Text(), "02");
    EXPECT_EQ(s->edtNmGrupo->Text(), "Minerais");
}

TEST_F(ReportScreenTest, PeriodChecksComeFirstAndInOrder) {
    TfrmRelInquerito* s = openReport();
    s->rbtLNutri->click();  // would fail later: the dates are checked before
    s->depIni->Clear();
    s->depFim->Clear();
    command(s->sbtPreview);
    EXPECT_EQ(shownText(), "Data inicial do período deve ser informada.");
    EXPECT_EQ(QApplication::focusWidget(), s->depIni->Edit());

    s->depIni->SetDate(QDate(2026, 12, 3));
    command(s->sbtPreview);
    EXPECT_EQ(shownText(), "Data final do perído deve ser informada.");
    EXPECT_EQ(QApplication::focusWidget(), s->depFim->Edit());

    s->depFim->SetDate(QDate(2026, 12, 2));
    command(s->sbtPreview);
    EXPECT_EQ(shownText(), "Data inicial do período deve ser menor ou igual a data final do período.");
    EXPECT_EQ(QApplication::focusWidget(), s->depIni->Edit());

    s->depFim->SetText("31/02/2026");
    command(s->sbtPreview);
    EXPECT_EQ(shownText(), "'31/02/2026' não é uma data válida.") << "a bad date never reaches the layouts";

    s->depFim->SetDate(QDate(2026, 12, 3));  // equal dates pass on to the next check
    s->rbtTNutri->click();
    command(s->sbtPreview);
    EXPECT_TRUE(dialogs_->shown.empty());
    EXPECT_EQ(ran_, QStringList{"preview"});
    EXPECT_TRUE(text_.contains("03/12/2026 - Quinta"));
    EXPECT_FALSE(text_.contains("02/12/2026"));
}

TEST_F(ReportScreenTest, LayoutsGetExactlyTheParametersTheyDeclare) {
    TfrmRelInquerito* s = openReport();
    s->edtGrupo->SetText("01");
    s->Valid();

    TReportParams none;
    s->rpddPadraoBeforeGetQueryParams(none);
    EXPECT_EQ(none.Count(), 0);

    TReportParams some({{"P_CDPACIENTE", TReportParamType::String},
                        {"P_DTFIM", TReportParamType::Date},
                        {"P_OUTRO", TReportParamType::String}});
    s->rpddPadraoBeforeGetQueryParams(some);
    EXPECT_EQ(some.Count(), 3);
    EXPECT_EQ(some.ParamByName("P_CDPACIENTE").Value(), QVariant("000000000001"));
    EXPECT_EQ(some.ParamByName("P_DTFIM").Value(), QVariant(QDateTime(QDate(2026, 12, 6), QTime(0, 0))));
    EXPECT_TRUE(some.ParamByName("P_OUTRO").IsNull()) << "other parameters are left alone";

    TReportParams all({{"P_CDFILIAL", TReportParamType::String}, {"P_CDPACIENTE", TReportParamType::String},
                       {"P_DTINI", TReportParamType::Date},      {"P_DTFIM", TReportParamType::Date},
                       {"P_CDGRUPO", TReportParamType::String},   {"P_CDNUTRIENTE", TReportParamType::String},
                       {"P_CDSERVFILI", TReportParamType::String}});
    s->rpddPadraoBeforeGetQueryParams(all);
    EXPECT_EQ(all.ParamByName("P_CDFILIAL").Value(), QVariant("0001"));
    EXPECT_EQ(all.ParamByName("P_DTINI").Value().typeId(), QMetaType::QDateTime);
    EXPECT_EQ(all.ParamByName("P_DTINI").boundText(), std::optional<std::string>("2026-11-30"));
    EXPECT_EQ(all.ParamByName("P_CDGRUPO").Value(), QVariant("01"));
    EXPECT_EQ(all.ParamByName("P_CDNUTRIENTE").Value(), QVariant("_002_003_004_005_007_008_027_"));
    EXPECT_EQ(all.ParamByName("P_CDSERVFILI").Value(), QVariant(allServices()));
}

TEST_F(ReportScreenTest, SaveAsWritesThePdfAndKeepsACopyUnderANewTitle) {
    QTemporaryDir layouts;
    for (const char* name : {"ZEP126_1.json", "ZEP126_2.json"})
        ASSERT_TRUE(QFile::copy(QString(INQUERITO_LAYOUTS_DIR) + "/" + name, layouts.filePath(name)));
    qputenv("INQUERITO_REPORTS_DIR", layouts.path().toUtf8());
    TfrmRelInquerito* s = openReport();
    s->cbbReportNames->setCurrentIndex(1);
    QStringList asked;
    s->AskText = [&](const QString& caption, const QString& prompt, const QString& value) {
        asked << caption << prompt << value;
        return std::optional<QString>("Totais da semana");
    };
    s->rpddPadrao->AskSaveFileName = [&](const QString&) { return layouts.filePath("totais.pdf"); };
    command(s->sbtSalvarComo);
    EXPECT_EQ(asked, (QStringList{"Título do relatório", "Informe o título do relatório:", "Totais de nutrientes do período"}));
    EXPECT_TRUE(dialogs_->shown.empty()) << (dialogs_->shown.empty() ? "" : dialogs_->lastText().toStdString());
    EXPECT_TRUE(QFile::exists(layouts.filePath("totais.pdf")));
    ASSERT_EQ(s->cbbReportNames->count(), 3);
    EXPECT_EQ(s->cbbReportNames->currentText(), "Totais da semana");
    EXPECT_TRUE(QFile::exists(layouts.filePath("ZEP126_copia1.json")));

    s->AskText = [](const QString&, const QString&, const QString&) { return std::optional<QString>(); };
    command(s->sbtSalvarComo);
    EXPECT_EQ(s->cbbReportNames->count(), 3) << "cancelled: no copy";

    // The folder goes away: the base screen's message with the code and the folder.
    QFile::remove(layouts.filePath("ZEP126_1.json"));
    s->cbbReportNames->setCurrentIndex(0);
    command(s->sbtPreview);
    EXPECT_EQ(shownText(), QString("O arquivo contendo a definição do relatório de código 'ZEP126' não foi encontrado "
                                   "no diretório '%1'.").arg(QDir::toNativeSeparators(layouts.path())));
}

TEST_F(ReportScreenTest, PreviewRunsInQtsPrintPreviewDialog) {
    TfrmRelInquerito* s = openReport();
    s->rpddPadrao->ShowPreview = nullptr;  // the real dialog
    int pages = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* preview = qobject_cast<QPrintPreviewDialog*>(w); preview && preview->isVisible()) {
                if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) pages = widget->pageCount();
                preview->grab().save(QCoreApplication::applicationDirPath() + "/screenshots/report_preview.png");
                preview->reject();
            }
    });
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/screenshots");
    command(s->sbtPreview);
    EXPECT_TRUE(dialogs_->shown.empty()) << (dialogs_->shown.empty() ? "" : dialogs_->lastText().toStdString());
    EXPECT_GE(pages, 2) << "the demo week by meal spans pages";
}

TEST_F(ReportScreenTest, TabGoesThroughGroupPeriodNutrientsServicesAndLayouts) {
    TfrmRelInquerito* s = openReport();
    focus(s->edtGrupo);
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QWidget* w = QApplication::focusWidget();
        while (w && w->objectName().isEmpty()) w = w->parentWidget();
        order << (w ? w->objectName() : QString("?"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        processEvents();
    }
    EXPECT_EQ(order, (QStringList{"edtGrupo", "depIni", "depFim", "rbtTNutri", "rbtTServ", "cbbReportNames"}));
}

// The screen hands the warning rules to the per-meal layout: the patient's
// milk is marked as not tolerated and interacting, with the legend below.
TEST_F(ReportScreenTest, MealLayoutMarksClashingItemsThroughTheScreen) {
    TfrmRelInquerito* s = openReport();
    s->cbbReportNames->setCurrentIndex(0);
    command(s->sbtPreview);
    ASSERT_EQ(ran_, QStringList{"preview"}) << (dialogs_->shown.empty() ? "" : dialogs_->lastText().toStdString());
    const QStringList lines = text_.split('\n');
    const int milk = lines.indexOf("Leite, de vaca, integral");
    ASSERT_GE(milk, 0) << text_.left(2000).toStdString();
    EXPECT_EQ(lines.value(milk + 1), "I M");
    EXPECT_TRUE(text_.contains("Aviso: R = restrição alimentar da dieta")) << "the legend";
}
