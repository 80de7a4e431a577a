// Change log, packets in and out, calculated fields, index order and Locate.
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <gtest/gtest.h>

using namespace hostfw;
using protocol::json;

namespace {

json itemsPacket() {
    return {{"fields",
             {{{"name", "CDPRATPROD"}, {"type", "string"}, {"size", 20}},
              {{"name", "DTINQUERITO"}, {"type", "date"}},
              {{"name", "QTALIMMEDCAS"}, {"type", "float"}}}},
            {"rows", {{"A", "2026-03-01", 1.0}, {"B", "2026-03-02", 2.0}, {"C", "2026-03-03", 3.0}}}};
}

struct Items {
    TClientDataSet ds{nullptr, "cdsProdPrat"};
    TField* code = ds.AddField("CDPRATPROD", TFieldType::ftString, 20);
    TField* day = ds.AddField("DTINQUERITO", TFieldType::ftDateTime);
    TField* qty = ds.AddField("QTALIMMEDCAS", TFieldType::ftFloat);
    Items() { ds.SetData(itemsPacket()); }

    void editQty(const QString& code, double q) {
        ASSERT_TRUE(ds.Locate("CDPRATPROD", {code}));
        ds.Edit();
        qty->SetValue(q);
        ds.Post();
    }
    QStringList codes() const {
        QStringList out;
        for (int i = 0; i < ds.RecordCount(); ++i) out << ds.ValueAt(i, code->Index()).toString();
        return out;
    }
};

} // namespace

TEST(DataSetLog, DeltaListsChangesInOrderWithBaseValues) {
    Items t;
    t.editQty("B", 5.0);
    t.editQty("B", 6.0);  // second edit: old values stay the loaded ones
    ASSERT_TRUE(t.ds.Locate("CDPRATPROD", {"C"}));
    t.ds.Delete();
    t.ds.Append();
    t.code->SetValue("D");
    t.day->SetAsDate(QDate(2026, 3, 4));
    t.ds.Post();
    EXPECT_EQ(t.ds.ChangeCount(), 3);

    const auto delta = protocol::ChangePacket::fromJson(t.ds.Delta());  // valid on the wire
    ASSERT_EQ(delta.changes.size(), 3u);
    ASSERT_EQ(delta.fields.size(), 3u);
    EXPECT_EQ(delta.fields[1].type, protocol::FieldType::Date);
    EXPECT_EQ(delta.changes[0].kind, protocol::ChangeKind::Update);
    EXPECT_EQ(delta.changes[0].oldValues, (protocol::Row{"B", "2026-03-02", 2.0}));
    EXPECT_EQ(delta.changes[0].newValues, (protocol::Row{"B", "2026-03-02", 6.0}));
    EXPECT_EQ(delta.changes[1].kind, protocol::ChangeKind::Delete);
    EXPECT_EQ(delta.changes[1].oldValues, (protocol::Row{"C", "2026-03-03", 3.0}));
    EXPECT_EQ(delta.changes[2].kind, protocol::ChangeKind::Insert);
    EXPECT_EQ(delta.changes[2].newValues, (protocol::Row{"D", "2026-03-04", nullptr}));
}

TEST(DataSetLog, CombinedChangesOfOneRowCollapse) {
    Items t;
    // Inserted then deleted: nothing to send.
    t.ds.Append();
    t.code->SetValue("X");
    t.ds.Post();
    t.ds.Delete();
    EXPECT_EQ(t.ds.ChangeCount(), 0);
    EXPECT_TRUE(t.ds.Delta()["changes"].empty());

    // Inserted then edited: one insert with the latest values.
    t.ds.Append();
    t.code->SetValue("Y");
    t.ds.Post();
    t.editQty("Y", 9.5);
    auto delta = protocol::ChangePacket::fromJson(t.ds.Delta());
    ASSERT_EQ(delta.changes.size(), 1u);
    EXPECT_EQ(delta.changes[0].kind, protocol::ChangeKind::Insert);
    EXPECT_EQ(delta.changes[0].newValues[2], 9.5);

    // Edited back to its loaded values: no change either.
    t.editQty("A", 4.0);
    t.editQty("A", 1.0);
    EXPECT_EQ(t.ds.ChangeCount(), 1);

    // A pending edit is not part of the log until posted.
    ASSERT_TRUE(t.ds.Locate("CDPRATPROD", {"B"}));
    t.ds.Edit();
    t.qty->SetValue(7.0);
    EXPECT_EQ(t.ds.ChangeCount(), 1);
    EXPECT_EQ(t.ds.Data()["rows"][1][2], 2.0);
    t.ds.Cancel();
}

TEST(DataSetLog, MergeAndCancelUpdates) {
    Items t;
    t.editQty("A", 10.0);
    t.ds.MergeChangeLog();
    EXPECT_EQ(t.ds.ChangeCount(), 0);
    t.editQty("A", 11.0);
    auto delta = protocol::ChangePacket::fromJson(t.ds.Delta());
    ASSERT_EQ(delta.changes.size(), 1u);
    EXPECT_EQ(delta.changes[0].oldValues[2], 10.0);  // the merged value is the new base
    ASSERT_TRUE(t.ds.Locate("CDPRATPROD", {"A"}));
    t.ds.Edit();
    EXPECT_DOUBLE_EQ(t.qty->OldValue().toDouble(), 10.0);
    t.ds.Cancel();

    ASSERT_TRUE(t.ds.Locate("CDPRATPROD", {"B"}));
    t.ds.Delete();
    t.ds.Append();
    t.code->SetValue("N");
    EXPECT_TRUE(t.qty->OldValue().isNull());  // a new row has no saved value
    t.ds.Post();
    t.ds.Last();
    t.ds.Edit();
    t.code->SetValue("Z");  // pending when the updates are cancelled
    t.ds.CancelUpdates();
    EXPECT_EQ(t.ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.codes(), (QStringList{"A", "B", "C"}));
    EXPECT_DOUBLE_EQ(t.ds.ValueAt(0, t.qty->Index()).toDouble(), 10.0);
    EXPECT_EQ(t.ds.ChangeCount(), 0);
    EXPECT_EQ(t.ds.RecNo(), 3);  // the index of the dropped row, now the last

    // Without logging, changes become base rows at once.
    t.ds.LogChanges = false;
    t.editQty("C", 30.0);
    t.ds.First();
    t.ds.Delete();
    EXPECT_EQ(t.ds.ChangeCount(), 0);
    t.ds.CancelUpdates();
    EXPECT_EQ(t.codes(), (QStringList{"B", "C"}));
    EXPECT_DOUBLE_EQ(t.ds.ValueAt(1, t.qty->Index()).toDouble(), 30.0);
}

TEST(DataSetLog, SetDataFillsDeclaredAndAddsExtraFields) {
    TClientDataSet ds(nullptr, "cds");
    TField* name = ds.AddField("NMPRATPROD", TFieldType::ftString, 50);
    TField* qty = ds.AddField("QTALIM", TFieldType::ftFloat);
    TField* seq = ds.AddField("NRSEQ", TFieldType::ftInteger);
    TField* day = ds.AddField("DTINQUERITO", TFieldType::ftDateTime);
    TField* code = ds.AddField("CODE", TFieldType::ftString, 10);
    int opened = 0;
    ds.AfterOpen = [&](TClientDataSet*) { ++opened; };
    ds.SetData({{"fields",
                 {{{"name", "qtalim"}, {"type", "integer"}},
                  {{"name", "NRSEQ"}, {"type", "float"}},
                  {{"name", "DTINQUERITO"}, {"type", "date"}},
                  {{"name", "CODE"}, {"type", "integer"}},
                  {{"name", "SGUNIDADE"}, {"type", "string"}, {"size", 10}}}},
                {"rows", {{3, 4.0, "2026-03-05", 42, "g"}, {nullptr, nullptr, nullptr, nullptr, nullptr}}}});
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(name->IsNull());  // declared but not in the packet
    EXPECT_EQ(qty->Value().metaType().id(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(qty->AsFloat(), 3.0);
    EXPECT_EQ(seq->AsInteger(), 4);
    EXPECT_EQ(day->AsDate(), QDate(2026, 3, 5));
    EXPECT_EQ(code->AsString(), "42");
    TField* unit = ds.FindField("SGUNIDADE");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->DataType(), TFieldType::ftString);
    EXPECT_EQ(unit->Size(), 10);
    EXPECT_EQ(unit->AsString(), "g");

    // A second load replaces every row and the log, without reopening.
    ds.Edit();
    qty->SetValue(8.0);
    ds.SetData({{"fields", {{{"name", "QTALIM"}, {"type", "float"}}}}, {"rows", {{1.25}}}});
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_TRUE(unit->IsNull());
    const auto back = protocol::DataPacket::fromJson(ds.Data());
    EXPECT_EQ(back.fields.size(), 6u);
    EXPECT_EQ(back.at(0, "QTALIM"), 1.25);
    EXPECT_EQ(back.at(0, "NMPRATPROD"), nullptr);
}

TEST(DataSetLog, BadPacketsChangeNothing) {
    Items t;
    const json before = t.ds.Data();
    const auto refused = [&](const json& packet) {
        EXPECT_THROW(t.ds.SetData(packet), EHostError) << packet.dump();
        EXPECT_EQ(t.ds.Data(), before);
    };
    refused(json::array());
    refused({{"fields", {{{"name", "DTINQUERITO"}, {"type", "date"}}}}, {"rows", {{"01/03/2026"}}}});
    refused({{"fields", {{{"name", "DTINQUERITO"}, {"type", "date"}}}}, {"rows", {{"2026-02-30"}}}});
    refused({{"fields", {{{"name", "QTALIMMEDCAS"}, {"type", "string"}}}}, {"rows", {{"muito"}}}});  // not a number
    refused({{"fields", {{{"name", "X"}, {"type", "blob"}}}}, {"rows", json::array()}});
    refused({{"fields", {{{"name", "CDPRATPROD"}, {"type", "string"}}}}, {"rows", {{"A", "B"}}}});
    EXPECT_EQ(t.ds.FindField("X"), nullptr);
}

TEST(DataSetLog, CalculatedFieldFollowsRowsAndStaysOutOfPackets) {
    TClientDataSet ds(nullptr, "cdsInqPaci");
    TField* ini = ds.AddField("DTINIINQU", TFieldType::ftDateTime);
    TField* fin = ds.AddField("DTFININQU", TFieldType::ftDateTime);
    TField* nav = ds.AddField("DTNAVIGATOR", TFieldType::ftString, 25, TFieldKind::fkCalculated);
    int calcs = 0;
    ds.OnCalcFields = [&](TClientDataSet* s) {
        ++calcs;
        EXPECT_EQ(s->State(), TDataSetState::dsCalcFields);
        nav->SetValue(ini->IsNull() ? QString() : ini->DisplayText() + " - " + fin->DisplayText());
    };
    ds.SetData({{"fields", {{{"name", "DTINIINQU"}, {"type", "date"}}, {{"name", "DTFININQU"}, {"type", "date"}}}},
                {"rows", json::array({json::array({"2026-03-01", "2026-03-07"}), json::array({"2026-04-01", "2026-04-02"})})}});
    EXPECT_GT(calcs, 0);
    EXPECT_EQ(nav->AsString(), "01/03/2026 - 07/03/2026");
    EXPECT_EQ(ds.DisplayTextAt(1, nav->Index()), "01/04/2026 - 02/04/2026");
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);

    ds.Append();
    EXPECT_TRUE(nav->IsNull());
    ini->SetAsString("10/05/2026");
    fin->SetAsString("11/05/2026");
    EXPECT_EQ(nav->AsString(), "10/05/2026 - 11/05/2026");
    ds.Post();
    EXPECT_EQ(nav->AsString(), "10/05/2026 - 11/05/2026");
    EXPECT_THROW(nav->SetValue("x"), EHostError);  // only OnCalcFields writes it outside edits

    const auto delta = protocol::ChangePacket::fromJson(ds.Delta());
    EXPECT_EQ(delta.fields.size(), 2u);
    EXPECT_EQ(delta.indexOf("DTNAVIGATOR"), -1);
    EXPECT_EQ(delta.changes.at(0).newValues, (protocol::Row{"2026-05-10", "2026-05-11"}));
    EXPECT_EQ(protocol::DataPacket::fromJson(ds.Data()).indexOf("DTNAVIGATOR"), -1);
}

TEST(DataSetLog, IndexKeepsRowsOrderedAfterPosts) {
    TClientDataSet ds(nullptr, "cds");
    TField* name = ds.AddField("NOME", TFieldType::ftString, 10);
    TField* day = ds.AddField("DIA", TFieldType::ftDateTime);
    TField* n = ds.AddField("N", TFieldType::ftInteger);
    ds.SetData({{"fields",
                 {{{"name", "NOME"}, {"type", "string"}},
                  {{"name", "DIA"}, {"type", "date"}},
                  {{"name", "N"}, {"type", "integer"}}}},
                {"rows",
                 {{"b", "2026-03-10", 1},
                  {"B", "2026-03-09", 2},
                  {"a", "2026-12-01", 3},
                  {nullptr, "2026-03-09", 4},
                  {"a", nullptr, 5}}}});
    const auto order = [&] {
        QList<int> out;
        for (int i = 0; i < ds.RecordCount(); ++i) out << ds.ValueAt(i, n->Index()).toInt();
        return out;
    };
    ds.SetIndexFieldNames("NOME");
    EXPECT_EQ(order(), (QList<int>{4, 2, 3, 5, 1}));  // null first, upper case before lower, stable
    ds.SetIndexFieldNames("DIA;NOME");
    EXPECT_EQ(order(), (QList<int>{5, 4, 2, 1, 3}));  // dates by value, not by text

    ds.Append();
    name->SetValue("A");
    day->SetAsDate(QDate(2026, 3, 9));
    n->SetValue(6);
    EXPECT_EQ(ds.RecNo(), 6);  // stays where typed until posted
    ds.Post();
    EXPECT_EQ(order(), (QList<int>{5, 4, 6, 2, 1, 3}));
    EXPECT_EQ(n->AsInteger(), 6);  // the posted row stays current
    EXPECT_THROW(ds.SetIndexFieldNames("NADA"), EHostError);
    EXPECT_EQ(ds.IndexFieldNames(), "DIA;NOME");
}

TEST(DataSetLog, LocateMatchesWholeValues) {
    Items t;
    t.ds.Last();
    EXPECT_FALSE(t.ds.Locate("CDPRATPROD", {"b"}));
    EXPECT_EQ(t.code->AsString(), "C");  // not found: stays put
    EXPECT_TRUE(t.ds.Locate("cdpratprod", {"b"}, true));
    EXPECT_EQ(t.ds.RecNo(), 2);
    EXPECT_TRUE(t.ds.Locate("DTINQUERITO;QTALIMMEDCAS", {QDate(2026, 3, 3), 3}));
    EXPECT_EQ(t.code->AsString(), "C");
    EXPECT_FALSE(t.ds.Locate("DTINQUERITO;QTALIMMEDCAS", {QDate(2026, 3, 3), 2}));
    EXPECT_FALSE(t.ds.Locate("QTALIMMEDCAS", {"não é número"}));
    EXPECT_THROW(t.ds.Locate("CDPRATPROD;DTINQUERITO", {"A"}), EHostError);
}
