#pragma once
// The items page of the demo patient's first period, and helpers that type
// and read as the user does.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"
#include "host/data/DBGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <optional>

using hostfw::TDataSetState;

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline const QDate kFirstDay(2026, 11, 30);
inline const QDate kEmptyDay(2026, 12, 2);

inline std::string text(const protocol::Value& v) {
    if (v.is_null()) return {};
    if (v.is_string()) return v.get<std::string>();
    const double d = v.get<double>();
    if (d == static_cast<double>(static_cast<long long>(d))) return std::to_string(static_cast<long long>(d));
    return v.dump();
}

class SurveyItemsTest : public SurveyTest {
protected:
    void SetUp() override {
        SurveyTest::SetUp();
        openFor("0001", "000000000001", "Maria Aparecida Nogueira Campos");
        screen()->mnuPadraoClick();
        processEvents();
        ASSERT_EQ(QApplication::focusWidget(), screen()->items()->edtCdServico);
    }

    hostfw::TDBGrid* grid() const { return screen()->items()->dbgProdPrat; }
    hostfw::TClientDataSet* items() const { return screen()->items()->cdsProdPrat; }
    hostfw::TField* field(const char* name) const { return items()->FieldByName(name); }
    QString column() const { return grid()->SelectedField() ? grid()->SelectedField()->FieldName() : QString(); }
    bool gridHasFocus() const {
        QWidget* f = QApplication::focusWidget();
        return f && (f == grid() || grid()->isAncestorOf(f));
    }

    // Day and service in the header as the user types them, then into the grid.
    void enterDay(const QString& service, const QDate& day, const QString& time = QString()) {
        focus(screen()->items()->edtCdServico);
        screen()->items()->depInquerito->SetDate(day);
        screen()->items()->edtCdServico->SetText(service);
        focus(screen()->items()->medHorario);
        if (!time.isNull()) screen()->items()->medHorario->SetText(time);
        focus(screen()->items()->depInquerito);
        focus(grid());
    }

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
        processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
            processEvents();
        }
    }
    // Opens the type list from the keyboard and picks the item by its position.
    void chooseType(int index) {
        key(Qt::Key_F4);
        QComboBox* list = grid()->InplacePickList();
        ASSERT_NE(list, nullptr) << "the type column offers its list";
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        auto* view = popup->findChild<QAbstractItemView*>();
        ASSERT_NE(view, nullptr);
        view->setCurrentIndex(view->model()->index(index, 0));
        QTest::keyClick(view, Qt::Key_Return);
        processEvents();
    }
    // A new row at the end, recorded by the keyboard up to the quantity cell.
    void recordRow(int type, const QString& code, const QString& measure, const QString& portions) {
        key(Qt::Key_End, Qt::ControlModifier);
        if (items()->IsEmpty())
            key(Qt::Key_Insert);
        else
            key(Qt::Key_Down);
        ASSERT_EQ(items()->State(), TDataSetState::dsInsert);
        ASSERT_EQ(column(), "IDTIPOINQUER");
        chooseType(type);
        key(Qt::Key_Tab);
        this->type(code);
        key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
        this->type(measure);
        key(Qt::Key_Tab);
        this->type(portions);
    }
    // Posts the row the way the keyboard does: Down arrow.
    void postByKeyboard() { key(Qt::Key_Down); }

    // The day's items as stored (sequence, code, measure, portions, total).
    std::vector<std::vector<std::string>> stored(const QString& service, const QDate& day) {
        const auto packet = db::query(
            hostfw::hostDatabase(),
            "SELECT NRSEQUINQUER, COALESCE(CDPRODUTO, CDPRATO) AS CD, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, "
            "HRSERVINQ FROM ITINQUERPACI WHERE CDPACIENTE = '000000000001' AND CDSERVFILI = :S AND DTINQUERITO = :D "
            "ORDER BY NRSEQUINQUER",
            {{"S", service.toStdString()}, {"D", day.toString(Qt::ISODate).toStdString()}},
            {{"NRSEQUINQUER", protocol::FieldType::String, 3},
             {"CD", protocol::FieldType::String, 10},
             {"CDMEDICASE", protocol::FieldType::String, 5},
             {"QTALIMMEDCAS", protocol::FieldType::Float, 0},
             {"QTALIMINQUER", protocol::FieldType::Float, 0},
             {"HRSERVINQ", protocol::FieldType::String, 4}});
        std::vector<std::vector<std::string>> out;
        for (const auto& row : packet.rows) {
            std::vector<std::string> line;
            for (const auto& v : row) line.push_back(text(v));
            out.push_back(line);
        }
        return out;
    }
    std::optional<std::string> storedTime(const QString& service, const QDate& day) {
        return db::scalarText(hostfw::hostDatabase(),
                              "SELECT HRSERVINQ FROM HORAINQPACI WHERE CDPACIENTE = '000000000001' AND "
                              "CDSERVFILI = :S AND DTINQUERITO = :D",
                              {{"S", service.toStdString()}, {"D", day.toString(Qt::ISODate).toStdString()}});
    }
};

