#include "protocol/CodeList.h"
#include "protocol/Dates.h"
#include "protocol/Packets.h"
#include "protocol/Rpc.h"

#include <gtest/gtest.h>

using namespace protocol;

TEST(Dates, ParsesAndRejects) {
    EXPECT_EQ(Date::parse("2026-03-01")->toString(), "2026-03-01");
    EXPECT_EQ((Date{987, 12, 31}.toString()), "0987-12-31");
    EXPECT_EQ((Date{10000, 1, 2}.toString()), "10000-01-02");
    EXPECT_EQ(Date::parse("2026-03-01T10:20:30")->day, 1);
    EXPECT_FALSE(Date::parse("2026-02-29"));
    EXPECT_TRUE(Date::parse("2024-02-29"));
    EXPECT_FALSE(Date::parse("2026-13-01"));
    EXPECT_FALSE(Date::parse("01/03/2026"));
    EXPECT_FALSE(Date::parse("2026-03-01T25:00:00"));
    EXPECT_FALSE(Date::parse("2026-03-01junk"));
}

TEST(Dates, DayArithmeticAndWeekDay) {
    const Date d{2026, 3, 1};
    EXPECT_EQ(d.addDays(-1).toString(), "2026-02-28");
    EXPECT_EQ(d.addDays(31).toString(), "2026-04-01");
    EXPECT_EQ(Date::fromDayNumber(d.toDayNumber()), d);
    EXPECT_EQ(d.weekDay(), 0);  // 1 March 2026 is a Sunday
    EXPECT_EQ((Date{2026, 12, 7}).weekDay(), 1);
}

TEST(CodeList, ParsesFormatsAndRefusesBadText) {
    auto l = CodeList::parse("_00001_00002_", 5);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->codes, (std::vector<std::string>{"00001", "00002"}));
    EXPECT_TRUE(CodeList::parse("T", 5)->all);
    EXPECT_TRUE(CodeList::parse("_", 5)->codes.empty());
    EXPECT_TRUE(CodeList::parse("", 5)->codes.empty());
    EXPECT_FALSE(CodeList::parse("00001_", 5));
    EXPECT_FALSE(CodeList::parse("_000001_", 5));      // longer than the column
    EXPECT_FALSE(CodeList::parse("_1__2_", 5));        // empty code
    EXPECT_FALSE(CodeList::parse("_1' OR 1=1_", 20));  // quote
    EXPECT_EQ(CodeList::format({"01", "07"}), "_01_07_");
}

TEST(Packets, DataPacketRoundTrip) {
    DataPacket p;
    p.fields = {{"CDFILIAL", FieldType::String, 4}, {"DTINIINQU", FieldType::Date, 0}, {"QT", FieldType::Float, 0},
                {"N", FieldType::Integer, 0}};
    p.rows = {{"0001", "2026-03-01", 1.5, 3}, {nullptr, nullptr, nullptr, nullptr}};
    const auto back = DataPacket::fromJson(json::parse(p.toJson().dump()));
    EXPECT_EQ(back.fields, p.fields);
    ASSERT_EQ(back.rows.size(), 2u);
    EXPECT_EQ(back.at(0, "CDFILIAL"), "0001");
    EXPECT_DOUBLE_EQ(back.at(0, "QT").get<double>(), 1.5);
    EXPECT_TRUE(back.at(1, "DTINIINQU").is_null());
}

TEST(Packets, RefusesValuesThatDoNotFitTheirField) {
    auto packetWith = [](json value, const char* type, int size) {
        return json{{"fields", json::array({{{"name", "F"}, {"type", type}, {"size", size}}})},
                    {"rows", json::array({json::array({value})})}};
    };
    EXPECT_THROW(DataPacket::fromJson(packetWith("00001", "string", 4)), ProtocolError);
    EXPECT_NO_THROW(DataPacket::fromJson(packetWith("Ação", "string", 4)));  // characters, not bytes
    EXPECT_THROW(DataPacket::fromJson(packetWith("2026-02-30", "date", 0)), ProtocolError);
    EXPECT_THROW(DataPacket::fromJson(packetWith("1,5", "float", 0)), ProtocolError);
    EXPECT_THROW(DataPacket::fromJson(packetWith(1.5, "integer", 0)), ProtocolError);
    EXPECT_THROW(DataPacket::fromJson(packetWith(1, "blob", 0)), ProtocolError);
    json shortRow = packetWith("x", "string", 0);
    shortRow["rows"][0] = json::array();
    EXPECT_THROW(DataPacket::fromJson(shortRow), ProtocolError);
}

TEST(Packets, ChangePacketRoundTrip) {
    ChangePacket c;
    c.fields = {{"CDFILIAL", FieldType::String, 4}, {"DTINIINQU", FieldType::Date, 0}};
    c.changes.push_back({ChangeKind::Insert, {}, {"0001", "2026-03-01"}});
    c.changes.push_back({ChangeKind::Update, {"0001", "2026-03-01"}, {"0001", "2026-03-02"}});
    c.changes.push_back({ChangeKind::Delete, {"0001", "2026-03-02"}, {}});
    const auto back = ChangePacket::fromJson(json::parse(c.toJson().dump()));
    ASSERT_EQ(back.changes.size(), 3u);
    EXPECT_EQ(back.changes[0].kind, ChangeKind::Insert);
    EXPECT_EQ(back.changes[1].oldValues[1], "2026-03-01");
    EXPECT_EQ(back.changes[1].newValues[1], "2026-03-02");
    EXPECT_EQ(back.changes[2].kind, ChangeKind::Delete);
    EXPECT_TRUE(back.changes[2].newValues.empty());
    json bad = c.toJson();
    bad["changes"][0]["kind"] = "upsert";
    EXPECT_THROW(ChangePacket::fromJson(bad), ProtocolError);
    bad = c.toJson();
    bad["changes"][1].erase("old");
    EXPECT_THROW(ChangePacket::fromJson(bad), ProtocolError);
}

TEST(Rpc, EnvelopeRoundTripAndErrors) {
    RpcRequest r;
    r.id = 7;
    r.method = "Zep12600.rdmInquerito.GetInqPaci";
    r.params = json::array({"0001", "000000000042"});
    const auto back = RpcRequest::parse(r.serialize());
    EXPECT_EQ(back.method, r.method);
    EXPECT_EQ(back.params, r.params);

    RpcResult result;
    result.data = nullptr;
    result.byref[5] = "_00001_";
    const auto parsed = parseResponse(serializeResult(7, result));
    EXPECT_EQ(parsed.byref.at(5), "_00001_");

    try {
        parseResponse(serializeError(7, rpc_error::OperationFailed, "Inq_NCad"));
        FAIL();
    } catch (const RpcFailure& e) {
        EXPECT_STREQ(e.what(), "Inq_NCad");
        EXPECT_EQ(e.code(), rpc_error::OperationFailed);
    }
    EXPECT_THROW(RpcRequest::parse("{not json"), RpcFailure);
    EXPECT_THROW(RpcRequest::parse(R"({"jsonrpc":"2.0","id":1,"method":"X","params":{"a":1}})"), RpcFailure);
    EXPECT_THROW(RpcRequest::parse(R"({"jsonrpc":"2.0","id":1})"), RpcFailure);
}
