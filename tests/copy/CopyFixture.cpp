#include "CopyFixture.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

void CopyTest::SetUp() {
    SurveyTest::SetUp();
    if (HasFatalFailure()) return;
    openFor("0001", "000000000001", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->surveyContext().periodStart, QDate(2026, 11, 30));
}

bool CopyTest::withCopyScreen(const std::function<void(TfrmCopiarInq&)>& body) {
    bool opened = false;
    // Runs inside the screen's modal loop.
    QTimer::singleShot(0, [&] {
        TfrmCopiarInq* s = frmCopiarInq;
        if (!s) return;
        opened = true;
        // Offscreen, a window comes up without being activated as a window manager would.
        QApplication::setActiveWindow(s);
        EXPECT_TRUE(QTest::qWaitForWindowActive(s));
        body(*s);
        if (frmCopiarInq) frmCopiarInq->sbtCancel->click();
    });
    EXPECT_TRUE(screen()->sbtCopiarInq->isEnabled());
    QTest::mouseClick(screen()->sbtCopiarInq, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(frmCopiarInq, nullptr) << "the copy screen is closed and freed";
    return opened;
}

void CopyTest::fill(TfrmCopiarInq& s, const QDate& origin, const QString& originService, const QDate& destination,
                    const QString& destinationService) {
    s.depOrigem->SetDate(origin);
    s.medCdServOrig->SetText(originService);
    s.depDestino->SetDate(destination);
    s.medCdServDest->SetText(destinationService);
}

void CopyTest::confirm(TfrmCopiarInq& s) {
    QTest::mouseClick(s.sbtConfirma, Qt::LeftButton);
    processEvents();
}

void CopyTest::typeAndLeave(QWidget* w, const QString& text) {
    focus(w);
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Backspace);
    QTest::keyClicks(target, text);
    QTest::keyClick(target, Qt::Key_Tab);
    processEvents();
}

bool CopyTest::focused(QWidget* w) {
    QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f));
}

std::vector<std::string> CopyTest::items(const QString& day, const QString& service) {
    const auto p = db::query(hostfw::hostDatabase(),
                             "SELECT NRSEQUINQUER, COALESCE(CDPRODUTO, CDPRATO) AS CDITEM FROM ITINQUERPACI "
                             "WHERE CDFILIAL = '0001' AND CDPACIENTE = '000000000001' AND DTINQUERITO = :P_DT "
                             "AND CDSERVFILI = :P_SERV ORDER BY NRSEQUINQUER",
                             {{"P_DT", day.toStdString()}, {"P_SERV", service.toStdString()}});
    std::vector<std::string> out;
    for (size_t r = 0; r < p.rows.size(); ++r)
        out.push_back(p.at(r, "NRSEQUINQUER").get<std::string>() + " " + p.at(r, "CDITEM").get<std::string>());
    return out;
}

std::string CopyTest::mealTime(const QString& day, const QString& service) {
    return db::scalarText(hostfw::hostDatabase(),
                          "SELECT HRSERVINQ FROM HORAINQPACI WHERE CDFILIAL = '0001' AND CDPACIENTE = "
                          "'000000000001' AND DTINQUERITO = :P_DT AND CDSERVFILI = :P_SERV",
                          {{"P_DT", day.toStdString()}, {"P_SERV", service.toStdString()}})
        .value_or("");
}

std::vector<std::string> CopyTest::snapshot() {
    std::vector<std::string> out;
    for (const char* sql : {"SELECT CDPACIENTE || DTINQUERITO || CDSERVFILI || NRSEQUINQUER || "
                            "COALESCE(CDPRODUTO, CDPRATO) || COALESCE(HRSERVINQ, '') AS R FROM ITINQUERPACI "
                            "ORDER BY 1",
                            "SELECT CDPACIENTE || DTINQUERITO || CDSERVFILI || HRSERVINQ AS R FROM HORAINQPACI "
                            "ORDER BY 1"}) {
        const auto p = db::query(hostfw::hostDatabase(), sql, {});
        for (size_t r = 0; r < p.rows.size(); ++r) out.push_back(p.at(r, "R").get<std::string>());
    }
    return out;
}
