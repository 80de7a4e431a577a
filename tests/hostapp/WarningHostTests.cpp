// Warnings through the desktop host with the real module and server: the
// mark's tooltip names the reason, posting a clashing item names it at once
// in a notice (no message box), and the interaction screen opened from the
// mark shows the day's intake of the nutrient. Patient 000000000002 has
// hypertension and chronic kidney disease (both restrict processed meats)
// and takes ferrous sulphate (calcium from 100 mg per 100 g) since March.
#include "RealModuleHost.h"
#include "db/Query.h"
#include "host/core/BrNumber.h"
#include "host/core/Dialogs.h"
#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "host/routines/QtDialogs.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "hostapp/InteractionScreen.h"
#include "hostapp/PatientsWindow.h"

#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

using namespace hostapp;

namespace {

const QString kIron = QStringLiteral("Sulfato ferroso 40 mg de ferro elementar, comprimido");

class WarningHostTest : public RealDialogsHostTest, public ::testing::WithParamInterface<db::Engine> {
protected:
    db::Engine engine() const override { return GetParam(); }

    void openSurvey() {
        PatientsWindow* patients = main->openPatients();
        ASSERT_TRUE(patients->selectPatient("000000000002"));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
        ASSERT_NE(survey, nullptr);
    }
    QWidget* focused() const { return QApplication::focusWidget(); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        ASSERT_NE(focused(), nullptr);
        QTest::keyClick(focused(), Qt::Key(k), mods);
        QApplication::processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(focused(), c.toLatin1());
            QApplication::processEvents();
        }
    }
    hostfw::TDBGrid* grid() const { return survey->findChild<hostfw::TDBGrid*>("dbgProdPrat"); }
    hostfw::TClientDataSet* items() const { return survey->findChild<hostfw::TClientDataSet*>("cdsProdPrat"); }
    QLabel* notice() const { return survey->findChild<QLabel*>("lblAvisoItem"); }
    QRect cell(int row, const char* field) const {
        return grid()->visualRect(grid()->model()->index(row, grid()->ColumnIndex(field)));
    }
    // Breakfast on the period's first day (16/11/2026), the cursor in the grid.
    void enterBreakfast() {
        QTabBar* tabs = survey->findChild<QTabWidget*>("pgcPadrao")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QApplication::processEvents();
        type("1");
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QApplication::processEvents();
    }
    // A product row typed and confirmed with the toolbar button.
    void postProduct(const QString& code, const QString& measure, const QString& portions) {
        key(Qt::Key_End, Qt::ControlModifier);
        key(items()->IsEmpty() ? Qt::Key_Insert : Qt::Key_Down);
        ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
        key(Qt::Key_F4);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Return);  // "Produto"
        QApplication::processEvents();
        key(Qt::Key_Tab);
        type(code);
        key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
        type(measure);
        key(Qt::Key_Tab);
        type(portions);
        QTest::mouseClick(survey->findChild<QToolButton*>("sbtConfirmar"), Qt::LeftButton);
        QApplication::processEvents();
        grid()->viewport()->repaint();
        ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsBrowse)
            << code.toStdString() << ": " << seen.join(" | ").toStdString();
    }
    int rowOf(const QString& code) const {
        const int index = items()->FieldByName("CDPRATPROD")->Index();
        for (int r = 0; r < items()->RecordCount(); ++r)
            if (items()->ValueAt(r, index).toString() == code) return r;
        return -1;
    }
    QString toolTipAt(const QPoint& pos) {
        QToolTip::hideText();
        QHelpEvent event(QEvent::ToolTip, pos, grid()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(grid()->viewport(), &event);
        return QToolTip::text();
    }
    // The calculation server's calcium total for the patient on 16/11/2026.
    double calculatedCalcium() {
        hostfw::TNetConnection net(nullptr);
        net.ServerName = "Zep12610.rdmCalcular";
        net.Host = hostfw::session().serverHost;
        net.Port = hostfw::session().serverPort;
        net.Open();
        const QDate day(2026, 11, 16);
        const auto p = protocol::DataPacket::fromJson(Consiste::CheckResultServ(
            net.AppServer("GetCalc", {"000000000002", day, day, "0001", "", "_010_", "T"})));
        const int total = p.indexOf("TOTAL");
        return p.rows.size() == 1 && total >= 0 ? p.rows[0][size_t(total)].get<double>() : -1;
    }
    void saveScreenshot(QWidget* w, const QString& name) {
        const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
        QDir().mkpath(dir);
        EXPECT_TRUE(w->grab().save(dir + "/" + name + ".png"));
    }

    QWidget* survey = nullptr;
};

}  // namespace

TEST_P(WarningHostTest, PostingAClashingItemNamesItAtOnceAndTheMarkExplainsWhy) {
    openSurvey();
    enterBreakfast();
    ASSERT_NE(notice(), nullptr);
    EXPECT_FALSE(notice()->isVisible());

    postProduct("0701005", "12", "1");  // whole milk, a glass
    EXPECT_TRUE(notice()->isVisible());
    EXPECT_EQ(notice()->text(), "Atenção: Leite, de vaca, integral — Interação: " + kIron + " × Cálcio");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a notice, not a message box";
    EXPECT_TRUE(seen.isEmpty()) << seen.join(" | ").toStdString();
    const int milk = rowOf("0701005");
    EXPECT_EQ(toolTipAt(cell(milk, "IDVERMEDICA").center()), "Interação: " + kIron + " × Cálcio");

    // Processed ham: two diagnoses restrict it, both named; the notice is replaced.
    postProduct("0604001", "14", "2");
    EXPECT_TRUE(notice()->isVisible());
    EXPECT_TRUE(notice()->text().startsWith("Atenção: Apresuntado — Restrição: ")) << notice()->text().toStdString();
    EXPECT_TRUE(notice()->text().contains("Hipertensão arterial sistêmica — Embutidos e processados"));
    EXPECT_TRUE(notice()->text().contains("Doença renal crônica — Embutidos e processados"));
    const QRect ham = cell(rowOf("0604001"), "NMPRATPROD");
    const QString why = toolTipAt(QPoint(ham.left() + 8, ham.center().y()));
    EXPECT_EQ(why.split('\n').size(), 2) << why.toStdString();
    EXPECT_TRUE(why.contains("Restrição: Doença renal crônica — Embutidos e processados")) << why.toStdString();
    survey->window()->activateWindow();
    saveScreenshot(survey->parentWidget() ? survey->parentWidget() : survey, "host-survey-aviso-item");

    // A food without a clash hides the notice; a click dismisses it too.
    postProduct("0102006", "15", "1");  // French bread
    EXPECT_FALSE(notice()->isVisible());
    postProduct("0701006", "04", "1");  // powdered milk, a spoon
    ASSERT_TRUE(notice()->isVisible());
    EXPECT_TRUE(notice()->text().startsWith("Atenção: Leite, de vaca, integral, pó — Interação: "));
    QTest::mouseClick(notice(), Qt::LeftButton);
    EXPECT_FALSE(notice()->isVisible());
}

TEST_P(WarningHostTest, InteractionScreenShowsTheDaysIntakeBesideTheLimit) {
    const double before = calculatedCalcium();  // lunch and dinner of the day
    ASSERT_GT(before, 0);
    openSurvey();
    enterBreakfast();
    postProduct("0701005", "12", "2");
    postProduct("0701006", "04", "1");
    // Two glasses of 206 g at 123 mg calcium per 100 g, a spoon of 16 g at 890.
    const double eaten = before + 2 * 206 * 123.0 / 100 + 16 * 890.0 / 100;
    EXPECT_NEAR(calculatedCalcium(), eaten, 1e-9);

    QStringList intake;
    QString note;
    bool found = false;
    QTimer::singleShot(0, main, [&] {
        auto* screen = qobject_cast<InteractionScreen*>(QApplication::activeModalWidget());
        if (!screen) return;
        found = true;
        for (int c = 0; c < 5; ++c) intake << screen->intakeCellText(0, c);
        note = screen->intakeNote();
        EXPECT_EQ(screen->intakeRowCount(), 1);
        saveScreenshot(screen, "host-zep12650-consumo");
        screen->reject();
    });
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell(rowOf("0701005"), "IDVERMEDICA").center());
    QApplication::processEvents();
    ASSERT_TRUE(found) << "the double click on the mark opens ZEP12650";
    EXPECT_EQ(intake, (QStringList{kIron, "Cálcio", hostfw::FormatFixed(eaten, 3), "100,000 por 100 g", "mg"}));
    EXPECT_TRUE(note.contains("16/11/2026")) << note.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, WarningHostTest, ::testing::Values(db::Engine::SQLite, db::Engine::PostgreSQL),
                         [](const auto& info) { return testsupport::engineName(info.param); });
