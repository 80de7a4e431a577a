// States, record events, navigation and data source notifications of the client data set.
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace hostfw;
using protocol::json;

namespace {

const char* stateName(TDataSetState s) {
    switch (s) {
    case TDataSetState::dsInactive: return "Inactive";
    case TDataSetState::dsBrowse: return "Browse";
    case TDataSetState::dsEdit: return "Edit";
    case TDataSetState::dsInsert: return "Insert";
    case TDataSetState::dsCalcFields: return "Calc";
    }
    return "?";
}

// A periods data set with every event recorded in order.
struct Recorded {
    TClientDataSet ds{nullptr, "cdsInqPaci"};
    TField* filial = ds.AddField("CDFILIAL", TFieldType::ftString, 4);
    TField* ini = ds.AddField("DTINIINQU", TFieldType::ftDateTime);
    TField* qt = ds.AddField("QTALIM", TFieldType::ftFloat);
    TDataSource src{nullptr, "dtsInqPaci", &ds};
    QStringList log;

    Recorded() {
        const auto rec = [this](const char* name) { return [this, name](TClientDataSet*) { log << name; }; };
        ds.BeforeInsert = rec("BeforeInsert");
        ds.AfterInsert = rec("AfterInsert");
        ds.OnNewRecord = [this](TClientDataSet*) {
            log << "OnNewRecord";
            filial->SetValue("0001");
        };
        ds.BeforeEdit = rec("BeforeEdit");
        ds.AfterEdit = rec("AfterEdit");
        ds.BeforePost = rec("BeforePost");
        ds.AfterPost = rec("AfterPost");
        ds.BeforeCancel = rec("BeforeCancel");
        ds.AfterCancel = rec("AfterCancel");
        ds.BeforeDelete = rec("BeforeDelete");
        ds.AfterDelete = rec("AfterDelete");
        ds.BeforeScroll = rec("BeforeScroll");
        ds.AfterScroll = rec("AfterScroll");
        ds.AfterOpen = rec("AfterOpen");
        ds.AfterClose = rec("AfterClose");
        src.OnStateChange = [this](TDataSource* s) { log << QStringLiteral("state:") + stateName(s->State()); };
    }

    void load(int rows) {
        json r = json::array();
        for (int i = 0; i < rows; ++i) r.push_back({"0001", "2026-03-0" + std::to_string(i + 1), i + 0.5});
        ds.SetData({{"fields", {{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                {{"name", "DTINIINQU"}, {"type", "date"}},
                                {{"name", "QTALIM"}, {"type", "float"}}}},
                    {"rows", r}});
        log.clear();
    }
};

} // namespace

TEST(DataSetEvents, InsertAndPostRunInClassicOrder) {
    Recorded t;
    t.load(2);
    t.ds.Insert();
    EXPECT_EQ(t.log.join(' '), "BeforeInsert BeforeScroll state:Insert OnNewRecord AfterInsert AfterScroll");
    EXPECT_EQ(t.ds.RecNo(), 1);  // inserted before the current (first) row
    t.log.clear();
    t.ini->SetAsDate(QDate(2026, 4, 1));
    t.ds.Post();
    EXPECT_EQ(t.log.join(' '), "BeforePost state:Browse AfterPost");
    EXPECT_EQ(t.ds.RecordCount(), 3);

    t.log.clear();
    t.ds.Append();
    EXPECT_EQ(t.ds.RecNo(), 4);
    t.ds.Cancel();
    EXPECT_EQ(t.log.join(' '),
              "BeforeInsert BeforeScroll state:Insert OnNewRecord AfterInsert AfterScroll BeforeCancel state:Browse "
              "AfterCancel");
    EXPECT_EQ(t.ds.RecordCount(), 3);
    EXPECT_EQ(t.ds.RecNo(), 1);  // back on the row current before the append
}

TEST(DataSetEvents, EditCancelAndDeleteRunInClassicOrder) {
    Recorded t;
    t.load(3);
    t.ds.MoveTo(2);
    t.log.clear();
    t.ds.Edit();
    t.qt->SetValue(9.0);
    t.ds.Cancel();
    EXPECT_EQ(t.log.join(' '), "BeforeEdit state:Edit AfterEdit BeforeCancel state:Browse AfterCancel");
    EXPECT_DOUBLE_EQ(t.qt->AsFloat(), 1.5);  // the edit was dropped

    t.log.clear();
    t.ds.Delete();
    EXPECT_EQ(t.log.join(' '), "BeforeDelete BeforeScroll AfterDelete AfterScroll");
    EXPECT_EQ(t.ds.RecordCount(), 2);
    EXPECT_EQ(t.ini->AsDate(), QDate(2026, 3, 3));  // the next row became current

    // Deleting while editing drops the edit and deletes; while inserting it cancels.
    t.ds.Edit();
    t.qt->SetValue(7.0);
    t.ds.Delete();
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.ds.RecordCount(), 1);
    t.ds.Insert();
    t.ds.Delete();
    EXPECT_EQ(t.ds.RecordCount(), 1);
    t.ds.Delete();
    EXPECT_TRUE(t.ds.IsEmpty());
    try {
        t.ds.Delete();
        FAIL() << "delete on an empty set";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "Operação não permitida em um conjunto de dados vazio.");
    }
}

TEST(DataSetEvents, BeforePostFailureKeepsTheRowBeingTyped) {
    Recorded t;
    t.load(1);
    bool refuse = true;
    t.ds.BeforePost = [&](TClientDataSet*) {
        if (refuse) throw EHostError("Data inicial deve ser informada.");
    };
    t.ds.Insert();
    t.qt->SetValue(2.5);
    EXPECT_THROW(t.ds.Post(), EHostError);
    EXPECT_EQ(t.ds.State(), TDataSetState::dsInsert);
    EXPECT_DOUBLE_EQ(t.qt->AsFloat(), 2.5);
    EXPECT_EQ(t.filial->AsString(), "0001");
    EXPECT_EQ(t.ds.ChangeCount(), 0);
    // Navigation posts first, so it is refused too and the row stays.
    EXPECT_THROW(t.ds.Next(), EHostError);
    EXPECT_EQ(t.ds.State(), TDataSetState::dsInsert);
    refuse = false;
    t.ds.Post();
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.ds.ChangeCount(), 1);
}

TEST(DataSetEvents, StateHandlerRefusingAnInsertLeavesNoRow) {
    Recorded t;
    t.load(2);
    t.ds.MoveTo(2);
    bool headerBlank = true;
    t.src.OnStateChange = [&](TDataSource* s) {
        t.log << QStringLiteral("state:") + stateName(s->State());
        if (headerBlank && s->State() == TDataSetState::dsInsert) throw EHostError("Paciente deve ser informado.");
    };
    try {
        t.ds.Insert();
        FAIL() << "the insert should have been refused";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "Paciente deve ser informado.");
    }
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.ds.RecordCount(), 2);
    EXPECT_EQ(t.ds.RecNo(), 2);
    EXPECT_EQ(t.ini->AsDate(), QDate(2026, 3, 2));
    EXPECT_FALSE(t.log.contains("OnNewRecord"));
    EXPECT_FALSE(t.log.contains("AfterInsert"));
    EXPECT_EQ(t.log.last(), "state:Browse");  // controls learn that the set is browsing again
    EXPECT_EQ(t.ds.ChangeCount(), 0);

    // Edit refused by the state handler or silently by BeforeEdit: still browsing, row as it was.
    t.src.OnStateChange = [&](TDataSource* s) {
        if (s->State() == TDataSetState::dsEdit) throw EAbort();
    };
    EXPECT_THROW(t.ds.Edit(), EAbort);
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    t.src.OnStateChange = nullptr;
    t.ds.BeforeEdit = [](TClientDataSet*) { Abort(); };
    EXPECT_THROW(t.ds.Edit(), EAbort);
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    try {
        t.qt->SetValue(3.0);
        FAIL() << "a browsing set must refuse values";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "O conjunto de dados não está em modo de edição.");
    }
    EXPECT_DOUBLE_EQ(t.qt->AsFloat(), 1.5);
    t.ds.BeforeEdit = nullptr;

    headerBlank = false;
    t.ds.Append();
    EXPECT_EQ(t.ds.RecordCount(), 3);
}

TEST(DataSetEvents, RequiredFieldStopsThePost) {
    Recorded t;
    t.load(0);
    t.ini->Required = true;
    t.ini->DisplayLabel = "Data Inicial";
    t.ds.Append();
    try {
        t.ds.Post();
        FAIL() << "required field missing";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "Campo 'Data Inicial' deve ser informado.");
    }
    EXPECT_EQ(t.ds.State(), TDataSetState::dsInsert);
    t.ini->SetAsString("01/03/2026");
    t.ds.Post();
    EXPECT_EQ(t.ds.RecordCount(), 1);
}

TEST(DataSetEvents, NavigationFlagsAndPostingOnMove) {
    Recorded t;
    t.load(0);
    EXPECT_TRUE(t.ds.Eof());
    EXPECT_TRUE(t.ds.Bof());
    EXPECT_EQ(t.ds.RecNo(), 0);
    EXPECT_TRUE(t.ini->IsNull());

    t.load(3);
    EXPECT_TRUE(t.ds.Bof());
    EXPECT_FALSE(t.ds.Eof());
    QList<QDate> seen;
    while (!t.ds.Eof()) {
        seen << t.ini->AsDate();
        t.ds.Next();
    }
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(t.ds.RecNo(), 3);  // Next on the last row stays there
    t.ds.Prior();
    EXPECT_FALSE(t.ds.Eof());
    t.ds.First();
    t.ds.Prior();
    EXPECT_TRUE(t.ds.Bof());
    EXPECT_EQ(t.ds.RecNo(), 1);
    t.ds.Last();
    EXPECT_TRUE(t.ds.Eof());
    t.ds.MoveTo(99);
    EXPECT_EQ(t.ds.RecNo(), 3);

    // Moving while editing posts the edit first.
    t.ds.First();
    t.ds.Edit();
    t.qt->SetValue(8.0);
    t.ds.Next();
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    EXPECT_DOUBLE_EQ(t.ds.ValueAt(0, t.qt->Index()).toDouble(), 8.0);
    EXPECT_EQ(t.ds.ChangeCount(), 1);
}

TEST(DataSetEvents, InsertedRowUntouchedIgnoresDefaults) {
    Recorded t;
    t.load(1);
    t.ds.Insert();
    EXPECT_EQ(t.filial->AsString(), "0001");  // default of OnNewRecord
    EXPECT_TRUE(t.ds.InsertedRowUntouched());
    EXPECT_FALSE(t.ds.Modified());
    t.qt->SetAsString("1,5");
    EXPECT_FALSE(t.ds.InsertedRowUntouched());
    EXPECT_TRUE(t.ds.Modified());
    t.ds.Post();
    EXPECT_FALSE(t.ds.InsertedRowUntouched());  // not inserting any more
    t.ds.Edit();
    EXPECT_FALSE(t.ds.InsertedRowUntouched());
}

TEST(DataSetEvents, DataSourceReportsFieldAndRowChanges) {
    Recorded t;
    t.load(2);
    QList<TField*> changes;
    t.src.OnDataChange = [&](TDataSource*, TField* f) { changes << f; };
    t.ds.Next();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0], nullptr);
    changes.clear();
    t.ds.Edit();
    t.qt->SetValue(4.0);
    EXPECT_TRUE(changes.contains(t.qt));

    // An exception from a data change handler reaches the caller; the value is kept.
    t.src.OnDataChange = [](TDataSource*, TField* f) {
        if (f) throw EHostError("recusado");
    };
    EXPECT_THROW(t.qt->SetValue(5.0), EHostError);
    EXPECT_DOUBLE_EQ(t.qt->AsFloat(), 5.0);
    t.src.OnDataChange = nullptr;
    t.ds.Post();
    EXPECT_EQ(t.src.State(), TDataSetState::dsBrowse);
}

TEST(DataSetEvents, SourcesAndSetsMayDieInAnyOrder) {
    auto* ds = new TClientDataSet(nullptr, "cds");
    ds->AddField("A", TFieldType::ftString, 5);
    auto* early = new TDataSource(nullptr, "early", ds);
    int calls = 0;
    early->OnStateChange = [&](TDataSource*) { ++calls; };
    TDataSource late(nullptr, "late", ds);
    delete early;
    ds->CreateDataSet();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(late.State(), TDataSetState::dsBrowse);
    delete ds;
    EXPECT_EQ(late.DataSet(), nullptr);
    EXPECT_EQ(late.State(), TDataSetState::dsInactive);
}

TEST(DataSetEvents, OpenCloseAndEmpty) {
    Recorded t;
    t.ds.CreateDataSet();
    EXPECT_EQ(t.log.join(' '), "state:Browse AfterOpen AfterScroll");
    t.log.clear();
    t.load(2);
    t.ds.EmptyDataSet();
    EXPECT_TRUE(t.ds.IsEmpty());
    EXPECT_EQ(t.ds.ChangeCount(), 0);  // emptying is local, nothing to send
    t.ds.Close();
    EXPECT_EQ(t.log.join(' '), "state:Inactive AfterClose");
    EXPECT_THROW(t.ds.Next(), EHostError);
    EXPECT_THROW(t.ds.EmptyDataSet(), EHostError);
    try {
        t.ds.FieldByName("NAOEXISTE");
        FAIL();
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "Campo 'NAOEXISTE' não encontrado.");
    }
    EXPECT_EQ(t.ds.FieldByName("dtiniinqu"), t.ini);
}
