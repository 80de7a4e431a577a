// The needs screen opened from the survey screen's toolbar, typed into with
// the keyboard and saved through the real server.
#include "SurveyFixture.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/Buttons.h"
#include "host/controls/NumberEdit.h"
#include "needs/NecesNutr.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

class NeedsTest : public SurveyTest {
protected:
    // Opens the screen with a mouse click on the toolbar button, runs body
    // while it is up, then closes it if body left it open. False when it did not open.
    bool withNeedsScreen(const std::function<void(TfrmNecesNutr&)>& body) {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            TfrmNecesNutr* s = frmNecesNutr;
            if (!s) return;
            opened = true;
            QApplication::setActiveWindow(s);
            EXPECT_TRUE(QTest::qWaitForWindowActive(s));
            body(*s);
            if (frmNecesNutr) frmNecesNutr->sbtCancel->click();
        });
        QTest::mouseClick(screen()->sbtNecesNutr, Qt::LeftButton);
        processEvents();
        EXPECT_EQ(frmNecesNutr, nullptr) << "the screen is closed and freed";
        return opened;
    }
    void retype(hostfw::TNumberEdit* e, const QString& text) {
        e->setFocus();
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Tab);
        QApplication::processEvents();
    }
    long long storedRows() {
        return db::scalarNumber(hostfw::hostDatabase(), "SELECT COUNT(*) FROM NECESNUTRPACI", {}).value_or(-1);
    }
};

TEST_F(NeedsTest, CommandIsOffWithoutAPeriod) {
    openFor("0001", "000000000003", "");  // no period recorded
    ASSERT_NE(screen(), nullptr);
    EXPECT_FALSE(screen()->mnuNecesNutr->isEnabled());
    EXPECT_FALSE(screen()->sbtNecesNutr->isEnabled());
}

TEST_F(NeedsTest, CommandIsOnWithACurrentPeriod) {
    openFor("0001", "000000000001", "");
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->mnuNecesNutr->isEnabled());
    EXPECT_TRUE(screen()->sbtNecesNutr->isEnabled());
    EXPECT_EQ(screen()->mnuNecesNutr->text(), QString("&Necessidades Nutricionais"));
    saveScreenshot("needs-survey-toolbar");
}

TEST_F(NeedsTest, TypedValuesShowTargetsAndAreSaved) {
    openFor("0001", "000000000001", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_TRUE(withNeedsScreen([&](TfrmNecesNutr& s) {
        EXPECT_EQ(s.windowTitle(), QString("Necessidades Nutricionais"));
        EXPECT_TRUE(s.isModal());
        EXPECT_EQ(s.edtSexo->text(), QString("Feminino"));
        EXPECT_EQ(s.edtIdade->text(), QString("68 anos"));
        EXPECT_EQ(s.edtPeriodo->text(), QString("30/11/2026 a 06/12/2026"));
        EXPECT_EQ(s.cbxMetodo->currentText(), QString("Harris-Benedict"));
        EXPECT_FALSE(s.nedKcalKg->isEnabled());
        EXPECT_TRUE(s.edtEnergia->text().isEmpty());  // no weight yet
        EXPECT_EQ(s.lblAviso->text(), QString("O peso deve estar entre 1 e 350 kg."));

        retype(s.nedPeso, "60");
        retype(s.nedAltura, "160");
        retype(s.nedFatorAtiv, "1,2");
        retype(s.nedFatorLesao, "1,3");
        // 1206,912 x 1,2 x 1,3 = 1882,78 kcal; protein 1 g/kg; 50 % and 30 % of the energy; 30 ml/kg.
        EXPECT_EQ(s.edtEnergia->text(), QString("1.883"));
        EXPECT_EQ(s.edtProteina->text(), QString("60,0"));
        EXPECT_EQ(s.edtCarboidrato->text(), QString("235,3"));
        EXPECT_EQ(s.edtLipidio->text(), QString("62,8"));
        EXPECT_EQ(s.edtLiquido->text(), QString("1.800"));
        EXPECT_TRUE(s.lblAviso->text().isEmpty());

        s.cbxMetodo->setCurrentIndex(s.cbxMetodo->findText("kcal por kg"));
        EXPECT_TRUE(s.nedKcalKg->isEnabled());
        retype(s.nedKcalKg, "25");
        EXPECT_EQ(s.edtEnergia->text(), QString("2.340"));  // 25 x 60 x 1,56

        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(dir);
        EXPECT_TRUE(s.grab().save(dir + "/needs-screen.png"));

        QTest::mouseClick(s.sbtConfirma, Qt::LeftButton);
        QApplication::processEvents();
    }));
    const auto row = db::query(hostfw::hostDatabase(),
                               "SELECT QTPESOPACI, IDMETODOENER, QTKCALKG, CDOPERADOR FROM NECESNUTRPACI "
                               "WHERE CDFILIAL = '0001' AND CDPACIENTE = '000000000001' AND DTINIINQU = '2026-11-30'",
                               {});
    ASSERT_EQ(row.rows.size(), 1u);
    EXPECT_EQ(row.at(0, "QTPESOPACI"), 60.0);
    EXPECT_EQ(row.at(0, "IDMETODOENER"), "K");
    EXPECT_EQ(row.at(0, "QTKCALKG"), 25.0);
    EXPECT_EQ(row.at(0, "CDOPERADOR"), "DEMO");

    // Reopened, the screen shows what was stored.
    ASSERT_TRUE(withNeedsScreen([&](TfrmNecesNutr& s) {
        EXPECT_EQ(s.nedPeso->text(), QString("60,0"));
        EXPECT_EQ(s.cbxMetodo->currentText(), QString("kcal por kg"));
        EXPECT_EQ(s.edtEnergia->text(), QString("2.340"));
        EXPECT_TRUE(s.lblRegistro->text().startsWith("Registrado por DEMO em ")) << s.lblRegistro->text().toStdString();
    }));
}

TEST_F(NeedsTest, ImplausibleValueIsRefusedAndNothingStored) {
    openFor("0001", "000000000001", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_TRUE(withNeedsScreen([&](TfrmNecesNutr& s) {
        retype(s.nedPeso, "400");
        retype(s.nedAltura, "160");
        EXPECT_EQ(s.lblAviso->text(), QString("O peso deve estar entre 1 e 350 kg."));
        EXPECT_TRUE(s.edtEnergia->text().isEmpty());
        QTest::mouseClick(s.sbtConfirma, Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_EQ(shownText(), QString("O peso deve estar entre 1 e 350 kg."));
        EXPECT_EQ(frmNecesNutr, &s) << "the screen stays open";
    }));
    EXPECT_EQ(storedRows(), 0);
}
