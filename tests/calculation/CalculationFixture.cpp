#include "CalculationFixture.h"

#include "InqueritoTestSupport.h"
#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/NumberEdit.h"
#include "host/core/Session.h"
#include "host/data/DataSet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

void CalculationTest::TearDown() {
    if (frmCalculo) {
        frmCalculo->close();
        processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    SurveyTest::TearDown();
    calcServer_.reset();
}

CalcServer& CalculationTest::watchServer() {
    calcServer_ = std::make_unique<CalcServer>(db_->url());
    hostfw::session().serverPort = calcServer_->port();
    return *calcServer_;
}

std::vector<std::string> CalculationTest::operationsCalled() const {
    std::vector<std::string> names;
    for (const auto& call : calcServer_->calls()) names.push_back(call.operation);
    return names;
}

TfrmCalculo* CalculationTest::openCalculation(const QString& branch, const QString& patient) {
    openFor(branch, patient, "");
    calc_ = new TfrmCalculo(screen()->surveyContext(), main_.get());
    frmCalculo = calc_;
    calc_->FormCreate();
    calc_->show();
    calc_->activateWindow();
    QApplication::setActiveWindow(calc_);
    EXPECT_TRUE(QTest::qWaitForWindowActive(calc_));
    processEvents();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    dialogs_->clear();
    return calc_;
}

void CalculationTest::setPeriod(const QString& from, const QString& to) {
    calc_->depPerIni->SetText(from);
    calc_->depPerFim->SetText(to);
}

void CalculationTest::chooseServices(const QStringList& codes) {
    click(calc_->rbtLista);
    hostfw::LookupAnswer answer;
    answer.accepted = true;
    answer.marked = codes;
    dialogs_->lookups.push_back(answer);
    click(calc_->btnServ);
}

void CalculationTest::confirm() { click(calc_->sbtConfirma); }

void CalculationTest::click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    processEvents();
}

QString CalculationTest::numberText(const char* field) const {
    return calc_->findChild<hostfw::TNumberEdit*>(field)->Text();
}

QString CalculationTest::cell(hostfw::TClientDataSet* ds, const QString& nutrient, const char* field) const {
    if (!ds->Locate("NUTRIENTE", {nutrient})) return "<sem linha>";
    return ds->FieldByName(field)->DisplayText();
}

bool CalculationTest::errorShown(const QString& text) const {
    for (const auto& s : dialogs_->shown)
        if (s.text == text) return true;
    return false;
}

void CalculationTest::expectNothingClipped() const {
    for (QLabel* l : calc_->findChildren<QLabel*>())
        if (l->isVisible()) EXPECT_GE(l->width(), l->sizeHint().width()) << l->objectName().toStdString();
    for (QAbstractButton* b : calc_->findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty())
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
    for (QGroupBox* g : calc_->findChildren<QGroupBox*>())
        EXPECT_GE(g->width(), g->fontMetrics().horizontalAdvance(g->title())) << g->objectName().toStdString();
    for (hostfw::TNumberEdit* n : calc_->findChildren<hostfw::TNumberEdit*>())
        EXPECT_GE(n->width(), n->fontMetrics().horizontalAdvance(n->Text())) << n->objectName().toStdString();
}

void CalculationTest::saveCalcScreenshot(const QString& name) const {
    const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
    QDir().mkpath(dir);
    EXPECT_TRUE(calc_->grab().save(QDir(dir).filePath(name + ".png")));
}

void CalculationTest::addProduct(const QString& code, const QString& tree, const std::map<QString, double>& per100g) {
    auto& sql = hostfw::hostDatabase();
    db::execute(sql,
                "INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO, SGUNIDADE, CDNVPRODUTO) "
                "VALUES (:P_CDPRODUTO, :P_CDARVPROD, :P_NMPRODUTO, 'g', 3)",
                {{"P_CDPRODUTO", code.toStdString()},
                 {"P_CDARVPROD", tree.toStdString()},
                 {"P_NMPRODUTO", ("Produto de teste " + code).toStdString()}});
    db::execute(sql, "INSERT INTO PRODMECA (CDPRODUTO, CDMEDICASE, VRPESOMEDI) VALUES (:P_CDPRODUTO, '00015', 100)",
                {{"P_CDPRODUTO", code.toStdString()}});
    for (const auto& [nutrient, amount] : per100g)
        db::execute(sql,
                    "INSERT INTO PRODNUTR (CDPRODUTO, CDNUTRIENTE, QTNUTRPROD) VALUES (:P_CDPRODUTO, :P_CDNUTRIENTE, "
                    + std::to_string(amount) + ")",
                    {{"P_CDPRODUTO", code.toStdString()}, {"P_CDNUTRIENTE", nutrient.toStdString()}});
}

void CalculationTest::writeItem(const QString& service, const QString& day, const QString& tree, double grams) {
    inqtest::Item item;
    item.servico = service.toStdString();
    item.dia = day.toStdString();
    item.codigo = tree.toStdString();
    item.medicase = "00015";
    item.porcoes = grams / 100;
    item.total = grams;
    item.hora = service == "00006" ? "2100" : "0930";
    server_->client()->call(inqtest::op("SetItemPrato"),
                            protocol::json::array({inqtest::itemPacket({inqtest::insertOf(item)})}));
}
