// Reply text written straight from rows must read back as the same values.
#include "protocol/JsonText.h"
#include "protocol/Packets.h"

#include <gtest/gtest.h>

#include <limits>

using namespace protocol;

TEST(JsonText, StringsReadBackExactlyAndBadBytesAreReplaced) {
    const std::string samples[] = {"", "Pão de queijo", "aspas \" e \\ barra", "tab\tlinha\nfim\r\b\f",
                                   std::string("nul\0x", 5), "\x01\x1f\x7f", "emoji \xF0\x9F\x8D\x9E"};
    for (const auto& s : samples) {
        std::string out;
        jsontext::appendString(out, s);
        EXPECT_EQ(json::parse(out).get<std::string>(), s) << out;
    }
    std::string out;
    jsontext::appendString(out, "a\xC3(b\xFF\xED\xA0\x80z\xE2\x82");
    EXPECT_EQ(json::parse(out).get<std::string>(), "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz"
                                                   "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(JsonText, NumbersKeepTheirValueAndKind) {
    for (double v : {0.0, -0.5, 50.0, 73.4729286, 1.0 / 3, 1e-7, 12345678901234567.0, 1e300}) {
        std::string out;
        jsontext::appendFloat(out, v);
        const json back = json::parse(out);
        EXPECT_TRUE(back.is_number_float()) << out;
        EXPECT_EQ(back.get<double>(), v) << out;
    }
    std::string out;
    jsontext::appendFloat(out, std::numeric_limits<double>::infinity());
    EXPECT_EQ(out, "null");
    out.clear();
    jsontext::appendInteger(out, -9007199254740993LL);
    EXPECT_EQ(json::parse(out).get<long long>(), -9007199254740993LL);
}

TEST(JsonText, APacketWrittenAsTextEqualsItsJsonValue) {
    DataPacket p;
    p.fields = {{"CDFILIAL", FieldType::String, 4}, {"DTINIINQU", FieldType::Date, 0},
                {"QTALIMINQUER", FieldType::Float, 0}, {"NR", FieldType::Integer, 0}};
    p.rows = {{"0001", "2026-03-01", 1.5, 7}, {nullptr, nullptr, 50.0, nullptr}};
    std::string text;
    p.appendJson(text);
    EXPECT_EQ(json::parse(text), p.toJson());
    EXPECT_EQ(DataPacket::fromJson(json::parse(text)).rows, p.rows);
}
