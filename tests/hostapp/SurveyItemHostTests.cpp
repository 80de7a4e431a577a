// The items page through the host, with real message boxes: whatever way a
// row is posted or left, the column the cursor stands in is checked and
// completed first; a typed row is never dropped by a reload; the number the
// server stored a row under is the one the next change names; the day's
// totals under the grid follow every post and delete.
#include "host/routines/QtDialogs.h"
#include "RealModuleHost.h"
#include "db/Query.h"
#include "host/controls/DateEditPlus.h"
#include "host/core/BrNumber.h"
#include "host/core/Dialogs.h"
#include "host/data/DataSet.h"
#include "hostapp/PatientsWindow.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

using namespace hostapp;

namespace {

class SurveyItemHostTest : public RealDialogsHostTest {
protected:
    // The button the user would press: OK, or the answer chosen for a question.
    QAbstractButton* answerOf(QMessageBox* box) const override {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("OK") || b->text() == confirmAnswer) return b;
        return nullptr;
    }

    QWidget* openSurvey(const char* patient = "000000000002") {
        PatientsWindow* patients = main->openPatients();
        EXPECT_TRUE(patients->selectPatient(patient));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
        return survey;
    }
    QWidget* focused() const { return QApplication::focusWidget(); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        ASSERT_NE(focused(), nullptr) << "no focus for key " << k;
        QTest::keyClick(focused(), Qt::Key(k), mods);
        QApplication::processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            ASSERT_NE(focused(), nullptr) << "no focus for " << text.toStdString();
            QTest::keyClick(focused(), c.toLatin1());
            QApplication::processEvents();
        }
    }
    // The type list opened from the keyboard; it opens on "Produto".
    void chooseType(int downs) {
        key(Qt::Key_F4);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        QWidget* list = popup->focusWidget() ? popup->focusWidget() : popup;
        for (int i = 0; i < downs; ++i) QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QApplication::processEvents();
    }
    QTableView* grid() const { return survey->findChild<QTableView*>("dbgProdPrat"); }
    hostfw::TClientDataSet* items() const { return survey->findChild<hostfw::TClientDataSet*>("cdsProdPrat"); }
    QString field(const char* name) const { return items()->FieldByName(name)->AsString(); }
    QString column() const {
        const QModelIndex i = grid()->currentIndex();
        return grid()->model()->headerData(i.column(), Qt::Horizontal).toString();
    }
    void click(const char* button) {
        QTest::mouseClick(survey->findChild<QToolButton*>(button), Qt::LeftButton);
        QApplication::processEvents();
    }
    // Breakfast on the period's first day, the cursor in the grid.
    void enterBreakfast() {
        auto* pages = survey->findChild<QTabWidget*>("pgcPadrao");
        QTabBar* tabs = pages->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QApplication::processEvents();
        ASSERT_EQ(focused(), survey->findChild<QWidget*>("edtCdServico"));
        type("1");
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QApplication::processEvents();
        ASSERT_TRUE(focused() == grid() || grid()->isAncestorOf(focused()));
    }
    // A new product or dish row, its code typed, the cursor still on the code.
    void newRowWithCode(int type, const QString& code) {
        key(Qt::Key_End, Qt::ControlModifier);
        key(items()->IsEmpty() ? Qt::Key_Insert : Qt::Key_Down);
        ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
        chooseType(type);
        key(Qt::Key_Tab);
        this->type(code);
    }
    // The breakfast items stored for the patient: code, measure, portions, total, number.
    std::vector<std::vector<std::string>> stored(const char* patient = "000000000002") {
        return storedRows(
            "SELECT COALESCE(CDPRODUTO, CDPRATO) AS CD, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, "
            "NRSEQUINQUER FROM ITINQUERPACI WHERE CDPACIENTE = :P AND CDSERVFILI = '00001' "
            "ORDER BY NRSEQUINQUER",
            {{"P", std::string(patient)}},
            {{"CD", protocol::FieldType::String, 10},
             {"CDMEDICASE", protocol::FieldType::String, 5},
             {"QTALIMMEDCAS", protocol::FieldType::Float, 0},
             {"QTALIMINQUER", protocol::FieldType::Float, 0},
             {"NRSEQUINQUER", protocol::FieldType::String, 3}});
    }

    // The texts of the message boxes shown since the last look, then forgotten.
    std::string said() {
        const std::string text = seen.join(QStringLiteral(" | ")).toStdString();
        seen.clear();
            return text;
    }

    QWidget* survey = nullptr;
    QString confirmAnswer = QStringLiteral("Sim");
};

}  // namespace

// A measure typed as "15" and confirmed is padded and named before the post
// check moves the cursor to the missing quantity; the quantity then posts.
TEST_F(SurveyItemHostTest, ConfirmPadsAndNamesTheMeasureItLeaves) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    newRowWithCode(0, "0102006");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("15");
    click("sbtConfirmar");
    EXPECT_EQ(said(), "Quantidade deve ser informada.");
    EXPECT_EQ(field("CDMEDICASE"), "00015");
    EXPECT_EQ(field("NMMEDICASE"), "Unidade");
    EXPECT_EQ(column(), "Quantidade");

    type("2");
    click("sbtConfirmar");
    EXPECT_EQ(said(), "");
    EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsBrowse);
    EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"000017", "00015", "2", "100", "001"}}));
}

// A code typed and confirmed from its own cell gets its name and internal
// code, so the product's own measure is accepted afterwards; the menu's
// Confirmar takes the same road as the button.
TEST_F(SurveyItemHostTest, ConfirmCompletesTheCodeItLeaves) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    newRowWithCode(0, "0701005");
    survey->findChild<QAction*>("mnuConfirmar")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(said(), "Medida de porcionamento deve ser informada.");
    EXPECT_EQ(field("NMPRATPROD"), "Leite, de vaca, integral");
    EXPECT_EQ(field("CDPRATPRODAUX"), "000492");
    EXPECT_EQ(column(), "Medida de Porcionamento");

    type("12");
    key(Qt::Key_Tab);
    type("1");
    click("sbtConfirmar");
    EXPECT_EQ(said(), "");
    EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"000492", "00012", "1", "206", "001"}}));
}

// The same product or dish typed again in one meal and confirmed is refused
// by the code column's duplicate check, and stored once.
TEST_F(SurveyItemHostTest, ConfirmRefusesAProductOrDishAlreadyInTheMeal) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    for (const auto& [kind, code, measure, again] :
         {std::tuple{0, "0102006", "15", "Produto já cadastrado."}, std::tuple{1, "01002", "8", "Prato já cadastrado."}}) {
        newRowWithCode(kind, code);
        key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
        type(measure);
        key(Qt::Key_Tab);
        type("1");
        click("sbtConfirmar");
        ASSERT_EQ(said(), "");

        newRowWithCode(kind, code);
        click("sbtConfirmar");
        EXPECT_EQ(said(), again);
        EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
        EXPECT_EQ(column(), "Código");
        // Leaving the cell by the keyboard refuses it the same way.
        key(Qt::Key_Tab);
        EXPECT_EQ(said(), again);
        EXPECT_EQ(column(), "Código");
        click("sbtCancelar");
        ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsBrowse);
        EXPECT_EQ(said(), "Cancelar operação?");
    }
    EXPECT_EQ(stored().size(), 2u);
}

// A typed row survives a visit to the patients window: coming back into the
// grid posts it with every check, here stopping at the missing measure, and
// the row stays as typed.
TEST_F(SurveyItemHostTest, ATypedRowSurvivesAVisitToThePatientsWindow) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    newRowWithCode(0, "0102006");
    key(Qt::Key_Tab);
    ASSERT_EQ(field("NMPRATPROD"), QString::fromUtf8("Pão, trigo, francês"));

    main->openPatients();
    QApplication::processEvents();
    ASSERT_NE(main->mdiArea()->activeSubWindow()->widget(), survey);
    const QModelIndex name = grid()->model()->index(0, 2);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(name).center());
    QApplication::processEvents();

    EXPECT_EQ(said(), "Medida de porcionamento deve ser informada.");
    ASSERT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
    EXPECT_EQ(field("NMPRATPROD"), QString::fromUtf8("Pão, trigo, francês"));

}

// A complete row left unposted for the patients window is posted, silently,
// when the user comes back into the grid, and read back from the server.
TEST_F(SurveyItemHostTest, ACompleteRowIsPostedWhenTheUserComesBack) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    newRowWithCode(0, "0102006");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("15");
    key(Qt::Key_Tab);
    type("1");
    main->openPatients();
    QApplication::processEvents();
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(grid()->model()->index(0, 2)).center());
    QApplication::processEvents();
    EXPECT_EQ(said(), "");
    EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsBrowse);
    ASSERT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(grid()->model()->index(0, 6).data().toString(), "50,000");
    EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"000017", "00015", "1", "50", "001"}}));
}

// Closing the screen with a typed row posts it, or stays open on a refusal.
TEST_F(SurveyItemHostTest, ClosingPostsTheTypedRowOrStaysOpen) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    newRowWithCode(0, "0102006");
    auto* window = qobject_cast<QMdiSubWindow*>(survey->parentWidget());
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(said(), "Medida de porcionamento deve ser informada.");
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);

    type("15");
    key(Qt::Key_Tab);
    type("3");
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"000017", "00015", "3", "150", "001"}}));
}

// Two dietitians on one day: the number the screen proposed is taken by the
// other one just before the screen's post; the screen keeps the number the
// server stored its row under, so its next change of the row goes through.
TEST_F(SurveyItemHostTest, ARowKeepsTheNumberTheServerStoredItUnder) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    const QDate day = survey->findChild<hostfw::TDateEditPlus*>("depInquerito")->Date();
    auto* sequence = survey->findChild<hostfw::TClientDataSet*>("cdsSeqInquer");
    ASSERT_NE(sequence, nullptr);
    auto other = server->client();
    bool raced = false;
    QObject::connect(sequence, &hostfw::TClientDataSet::rowsReset, sequence, [&] {
        if (raced) return;
        raced = true;
        // The other dietitian posts milk under the same number meanwhile.
        const auto periods = db::query(hostfw::hostDatabase(),
                                       "SELECT DTINIINQU, DTFININQU FROM INQUERPACI WHERE CDPACIENTE = '000000000002' "
                                       "AND DTINIINQU <= :D AND DTFININQU >= :D",
                                       {{"D", day.toString(Qt::ISODate).toStdString()}},
                                       {{"DTINIINQU", protocol::FieldType::Date, 0},
                                        {"DTFININQU", protocol::FieldType::Date, 0}});
        ASSERT_EQ(periods.rows.size(), 1u);
        auto s = [](const char* n, int size) { return protocol::json{{"name", n}, {"type", "string"}, {"size", size}}; };
        auto d = [](const char* n) { return protocol::json{{"name", n}, {"type", "date"}}; };
        auto f = [](const char* n) { return protocol::json{{"name", n}, {"type", "float"}}; };
        const protocol::json packet = {
            {"fields", {s("CDFILIAL", 4), s("CDPACIENTE", 12), d("DTINIINQU"), d("DTFININQU"), s("CDSERVFILI", 5),
                        d("DTINQUERITO"), s("NRSEQUINQUER", 3), s("IDTIPOINQUER", 1), s("CDPRATPROD", 20),
                        s("CDMEDICASE", 5), f("QTALIMMEDCAS"), f("QTALIMINQUER"), s("HRSERVINQ", 4)}},
            {"changes",
             {{{"kind", "insert"},
               {"new", {"0001", "000000000002", periods.rows[0][0], periods.rows[0][1], "00001",
                        day.toString(Qt::ISODate).toStdString(), "001", "0", "0701005", "00012", 1.0, 206.0,
                        "0700"}}}}}};
        other->call("Zep12600.rdmInquerito.SetItemPrato", protocol::json::array({packet}));
    });

    newRowWithCode(0, "0102006");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("15");
    key(Qt::Key_Tab);
    type("1");
    click("sbtConfirmar");
    ASSERT_TRUE(raced);
    EXPECT_EQ(said(), "");
    EXPECT_EQ(field("NRSEQUINQUER"), "002");

    // The bread becomes two units: the change names the row as stored.
    key(Qt::Key_Escape);
    type("2");
    click("sbtConfirmar");
    EXPECT_EQ(said(), "");
    EXPECT_EQ(stored(), (std::vector<std::vector<std::string>>{{"000492", "00012", "1", "206", "001"},
                                                               {"000017", "00015", "2", "100", "003"}}));
}

// ---------------------------------------------------------------- day totals

namespace {

// The items page's day totals on both engines.
class DayPanelHostTest : public SurveyItemHostTest, public ::testing::WithParamInterface<db::Engine> {
protected:
    db::Engine engine() const override { return GetParam(); }

    QString text(const char* label) const { return survey->findChild<QLabel*>(label)->text(); }
    QProgressBar* bar(const char* name) const { return survey->findChild<QProgressBar*>(name); }
    QTableWidget* services() const { return survey->findChild<QTableWidget*>("tblDiaServicos"); }
    QStringList serviceNames() const {
        QStringList names;
        for (int r = 0; r < services()->rowCount(); ++r) names << services()->item(r, 0)->text();
        return names;
    }
    // The energy the calculation screen gets for one day of a patient, all services.
    double calculatedEnergy(const std::string& day, const std::string& patient = "000000000002") {
        const auto reply =
            server->client()->call("Zep12610.rdmCalcular.getMacro", {patient, day, day, "0001", "T"});
        const auto macro = protocol::DataPacket::fromJson(reply.data);
        double kcal = 0;
        for (size_t r = 0; r < macro.rows.size(); ++r) kcal += macro.at(r, "QTCALOTOT").get<double>();
        return kcal;
    }
    static QString kcal(double value) { return hostfw::FormatFixed(value, 0) + QStringLiteral(" kcal"); }
    // Needs of patient 000000000001's recorded week whose energy target is `target` kcal (25 kcal/kg).
    void recordNeeds(double target) {
        server->client()->call("Zep12600.rdmInquerito.SetNecesNutr",
                               {"000000000001", "0001", "2026-11-30", target / 25, 170, "K", 1.0, 1.0, 25, 1.0, 50,
                                30, 30});
    }
};

}  // namespace

// Posting an item adds its energy to the day at once, deleting it takes it
// away; the day's kcal is always the calculation's for that day; moving to
// another day shows that day. Without needs recorded there is no share.
TEST_P(DayPanelHostTest, PostAndDeleteMoveTheDayTotals) {
    ASSERT_NE(openSurvey(), nullptr);
    enterBreakfast();
    auto* panel = survey->findChild<QFrame*>("pnlDia");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(grid()->geometry().bottom() < panel->geometry().top());
    const double before = calculatedEnergy("2026-11-16");
    ASSERT_GT(before, 0);
    EXPECT_EQ(text("lblDiaTitulo"), "Totais do dia 16/11/2026");
    EXPECT_EQ(text("lblDiaEnergia"), kcal(before));
    EXPECT_EQ(serviceNames(), (QStringList{QStringLiteral("Almoço"), QStringLiteral("Jantar")}));
    EXPECT_TRUE(bar("barDiaEnergia")->isHidden());
    EXPECT_EQ(text("lblMetaEnergia"), "");

    // One bread roll, 50 g: carbohydrate 29.3, protein 4, lipid 1.55 g.
    newRowWithCode(0, "0102006");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("15");
    key(Qt::Key_Tab);
    type("1");
    click("sbtConfirmar");
    ASSERT_EQ(said(), "");
    const double after = calculatedEnergy("2026-11-16");
    EXPECT_NEAR(after - before, 29.3 * 4 + 4 * 4 + 1.55 * 9, 1e-6);
    EXPECT_EQ(text("lblDiaEnergia"), kcal(after));
    EXPECT_EQ(serviceNames(),
              (QStringList{QStringLiteral("Desjejum"), QStringLiteral("Almoço"), QStringLiteral("Jantar")}));
    EXPECT_EQ(services()->item(0, 1)->text(), hostfw::FormatFixed(29.3 * 4 + 4 * 4 + 1.55 * 9, 0));
    EXPECT_EQ(services()->item(0, 2)->text(), "4,0");

    click("sbtExcluir");
    EXPECT_EQ(said(), "Confirma exclusão?");
    ASSERT_EQ(items()->RecordCount(), 0);
    EXPECT_EQ(text("lblDiaEnergia"), kcal(before));
    EXPECT_EQ(serviceNames().size(), 2);

    // The next day holds nothing yet.
    QTest::mouseClick(survey->findChild<QToolButton*>("sbtAmanha"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(text("lblDiaTitulo"), "Totais do dia 17/11/2026");
    EXPECT_EQ(text("lblDiaEnergia"), "0 kcal");
    EXPECT_EQ(text("lblDiaProteina"), "0,0 g");
    EXPECT_EQ(services()->rowCount(), 0);
}

// Needs recorded for the period show each share of its target, coloured by
// band: below 75 %, 75 to 110 %, above 110 %. The refresh command reads them.
TEST_P(DayPanelHostTest, TargetsShowTheShareAndItsBand) {
    const double eaten = calculatedEnergy("2026-11-30", "000000000001");
    ASSERT_GT(eaten, 750);  // a sixth of it less is still a plausible target
    recordNeeds(eaten * 2);
    ASSERT_NE(openSurvey("000000000001"), nullptr);
    enterBreakfast();
    EXPECT_FALSE(bar("barDiaEnergia")->isHidden());
    EXPECT_EQ(bar("barDiaEnergia")->text(), "50 %");
    EXPECT_EQ(bar("barDiaEnergia")->property("faixa").toString(), "abaixo");
    EXPECT_EQ(text("lblMetaEnergia"), "meta " + kcal(eaten * 2));
    // Protein's target is 1 g/kg of the weight recorded.
    EXPECT_EQ(text("lblMetaProteina"), "meta " + hostfw::FormatFixed(eaten * 2 / 25, 1) + " g");
    for (const char* other : {"barDiaProteina", "barDiaCarboidrato", "barDiaLipidio"})
        EXPECT_FALSE(bar(other)->property("faixa").toString().isEmpty()) << other;

    for (const auto& [target, share, band] : {std::tuple{eaten, "100 %", "adequada"},
                                              std::tuple{eaten / 0.76, "76 %", "adequada"},
                                              std::tuple{eaten / 1.5, "150 %", "acima"}}) {
        recordNeeds(target);
        click("sbtVerificar");
        EXPECT_EQ(bar("barDiaEnergia")->text(), share);
        EXPECT_EQ(bar("barDiaEnergia")->property("faixa").toString(), band) << share;
    }
    EXPECT_EQ(bar("barDiaEnergia")->value(), 100);  // a full bar above the target
}

INSTANTIATE_TEST_SUITE_P(Engines, DayPanelHostTest,
                         ::testing::Values(db::Engine::SQLite, db::Engine::PostgreSQL),
                         [](const auto& info) { return testsupport::engineName(info.param); });
