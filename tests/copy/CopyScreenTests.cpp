// The copy screen as it opens, its fields and lookups, and how the survey
// screen opens it.
#include "CopyFixture.h"

#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

TEST_F(CopyTest, OpensOnThePeriodStartWithItsWeekDayAndEverythingReady) {
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        EXPECT_EQ(s.windowTitle(), QString("Copiar Inquérito"));
        EXPECT_EQ(s.lblCodTela->text(), QString("ZEP12630"));
        EXPECT_TRUE(s.isModal());
        EXPECT_EQ(s.depOrigem->Text(), QString("30/11/2026"));
        EXPECT_EQ(s.depDestino->Text(), QString("30/11/2026"));
        EXPECT_EQ(s.edtDiaOrigem->text(), QString("Segunda"));
        EXPECT_EQ(s.edtDiaDestino->text(), QString("Segunda"));
        EXPECT_TRUE(s.medCdServOrig->Text().isEmpty());
        EXPECT_TRUE(s.medCdServDest->Text().isEmpty());
        EXPECT_TRUE(s.chkProduto->isChecked());
        EXPECT_TRUE(s.chkPrato->isChecked());
        for (QWidget* display : std::initializer_list<QWidget*>{s.edtDiaOrigem, s.edtDiaDestino, s.medNmServOrig,
                                                                s.medNmServDest})
            EXPECT_FALSE(display->isEnabled()) << display->objectName().toStdString();
        const QColor required = s.palette().color(QPalette::ToolTipBase);
        EXPECT_EQ(s.medCdServOrig->palette().color(QPalette::Base), required);
        EXPECT_EQ(s.depDestino->Edit()->palette().color(QPalette::Base), required);
        EXPECT_EQ(s.medCdServDest->EditMask(), QString("ccccc;0; "));
        EXPECT_EQ(s.btnDestino->toolTip(), QString("Pesquisar"));
        const QString dir = QStringLiteral(COPY_TEST_OUTPUT_DIR "/screenshots");
        QDir().mkpath(dir);
        EXPECT_TRUE(s.grab().save(dir + "/copy-screen-opened.png"));

        // Focus order, from the origin date round the screen by Tab.
        s.depOrigem->setFocus(Qt::TabFocusReason);
        processEvents();
        QWidget* const order[] = {s.medCdServOrig, s.depDestino, s.medCdServDest, s.chkProduto, s.chkPrato};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            processEvents();
            EXPECT_TRUE(focused(next)) << next->objectName().toStdString();
        }

        // Changing a date names its week day; the other side keeps its own.
        s.depDestino->SetDate(QDate(2026, 12, 5));
        EXPECT_EQ(s.edtDiaDestino->text(), QString("Sábado"));
        EXPECT_EQ(s.edtDiaOrigem->text(), QString("Segunda"));
        s.depOrigem->SetText("0");
        EXPECT_TRUE(s.edtDiaOrigem->text().isEmpty()) << "no day for a date being typed";

        // Nothing is clipped at the default size and font.
        for (QLabel* l : s.findChildren<QLabel*>())
            if (l->isVisible()) EXPECT_GE(l->width(), l->sizeHint().width()) << l->objectName().toStdString();
        for (QCheckBox* c : s.findChildren<QCheckBox*>()) EXPECT_GE(c->width(), c->sizeHint().width());
        for (QGroupBox* g : s.findChildren<QGroupBox*>())
            EXPECT_GE(g->width(), g->fontMetrics().horizontalAdvance(g->title()) + 16);
        s.edtDiaDestino->setText("Segunda");
        EXPECT_GE(s.edtDiaDestino->width(),
                  s.edtDiaDestino->fontMetrics().horizontalAdvance("Segunda") + 8);
    }));
}

TEST_F(CopyTest, OpenedFromTheMenuWithCtrlQAndFreshEachTime) {
    EXPECT_EQ(screen()->mnuCopiarInq->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(screen()->mnuCopiarInq->text(), QString("Copiar In&quérito"));
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        fill(s, QDate(2026, 12, 2), "00003", QDate(2026, 12, 3), "00004");
        s.chkPrato->setChecked(false);
    }));
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (!frmCopiarInq) return;
        shown = true;
        EXPECT_EQ(frmCopiarInq->depOrigem->Date(), QDate(2026, 11, 30)) << "nothing carries over";
        EXPECT_TRUE(frmCopiarInq->medCdServOrig->Text().isEmpty());
        EXPECT_TRUE(frmCopiarInq->chkPrato->isChecked());
        frmCopiarInq->reject();
    });
    screen()->mnuCopiarInq->trigger();
    processEvents();
    EXPECT_TRUE(shown);
}

TEST_F(CopyTest, LeavingAServiceNormalisesAndChecksIt) {
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        typeAndLeave(s.medCdServOrig, "1");
        EXPECT_EQ(s.medCdServOrig->Text(), QString("00001"));
        EXPECT_EQ(s.medNmServOrig->Text(), QString("Desjejum"));
        EXPECT_TRUE(focused(s.depDestino));
        EXPECT_TRUE(dialogs_->shown.empty());

        // Typing again empties the name at once.
        focus(s.medCdServOrig);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        EXPECT_TRUE(s.medNmServOrig->Text().isEmpty());

        // Branch 0002's service is not one of branch 0001.
        typeAndLeave(s.medCdServDest, "7");
        EXPECT_EQ(shownText(), QString("Serviço não cadastrado."));
        EXPECT_EQ(dialogs_->shown.back().kind, hostfw::DialogKind::Error);
        EXPECT_TRUE(focused(s.medCdServDest)) << "the focus stays on the refused code";
        EXPECT_EQ(s.medCdServDest->Text(), QString("00007"));
        EXPECT_TRUE(s.medNmServDest->Text().isEmpty());

        // A blank code may be left until the confirm.
        dialogs_->clear();
        typeAndLeave(s.medCdServDest, "");
        EXPECT_TRUE(dialogs_->shown.empty());
        EXPECT_TRUE(focused(s.chkProduto));

        // A date that is no date does not let the focus go.
        typeAndLeave(s.depDestino, "31022026");
        EXPECT_EQ(shownText(), QString("'31/02/2026' não é uma data válida."));
        EXPECT_TRUE(focused(s.depDestino));
        s.depDestino->SetDate(QDate(2026, 12, 1));
    }));
}

TEST_F(CopyTest, LookupsListEveryServiceOfTheBranchAndFillTheirSide) {
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        s.medCdServOrig->SetText("00003");
        dialogs_->lookups.push_back({true, 1, {}});
        int listed = 0;
        QString title;
        dialogs_->onLookup = [&](const hostfw::LookupRequest& r) {
            listed = r.dataSet->RecordCount();
            title = r.title;
        };
        QTest::mouseClick(s.btnDestino, Qt::LeftButton);
        processEvents();
        EXPECT_EQ(listed, 6) << "every service of branch 0001, whatever the origin holds";
        EXPECT_EQ(title, QString("Serviço"));
        EXPECT_EQ(s.medCdServDest->Text(), QString("00002"));
        EXPECT_EQ(s.medNmServDest->Text(), QString("Colação"));
        EXPECT_EQ(s.medCdServOrig->Text(), QString("00003")) << "the other side is left alone";

        dialogs_->lookups.push_back({true, 5, {}});
        QTest::mouseClick(s.btnServicoOrig, Qt::LeftButton);
        processEvents();
        EXPECT_EQ(s.medCdServOrig->Text(), QString("00006"));
        EXPECT_EQ(s.medNmServOrig->Text(), QString("Ceia"));
        dialogs_->onLookup = nullptr;
    }));
}
