// Brazilian numbers: the one formatter gives the same text to a data set
// field's display format, the number edit and a fixed number of decimals,
// rounds halves away from zero on decimal digits, and reads pt-BR text back.
#include "host/controls/NumberEdit.h"
#include "host/core/BrNumber.h"
#include "host/data/DataSet.h"

#include <gtest/gtest.h>

using namespace hostfw;

TEST(BrNumber, FieldsEditsAndFixedDecimalsWriteTheSameText) {
    TClientDataSet ds(nullptr, "cds");
    TField* qty = ds.AddField("QTALIMINQUER", TFieldType::ftFloat);
    qty->DisplayFormat = "#,##0.000";
    ds.CreateDataSet();
    ds.Append();
    TNumberEdit edit(nullptr, "nedQtde");
    edit.SetDecimals(3);
    for (double v : {1234.5, 0.0005, -98765.4321, 2.675, 1e9}) {
        qty->SetAsFloat(v);
        edit.SetNumber(v);
        EXPECT_EQ(qty->DisplayText(), FormatFixed(v, 3)) << v;
        EXPECT_EQ(edit.Text(), FormatFixed(v, 3)) << v;
    }
    EXPECT_EQ(FormatFixed(1234.5, 3), "1.234,500");
    EXPECT_EQ(FormatFixed(1234.5, 3, false), "1234,500");
    EXPECT_EQ(FormatFixed(2.675, 2), "2,68");  // the decimal half, not the binary 2,67499…
    EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
    EXPECT_EQ(FormatFixed(-0.0001, 2), "0,00");
    EXPECT_EQ(FormatFloat("0,000", 5), "0.005");
    EXPECT_EQ(FormatFloat("0,000", 5), FormatFloat("0,000", 5));  // the cached translation gives the same
}

TEST(BrNumber, PlainTextAndReading) {
    EXPECT_EQ(FormatPlain(0.1 + 0.2), "0,3");
    EXPECT_EQ(FormatPlain(1234.5), "1234,5");
    EXPECT_EQ(FormatPlain(1234.5, true), "1.234,5");
    EXPECT_EQ(FormatPlain(-2), "-2");

    EXPECT_EQ(ParseBrNumber("1.234,5"), 1234.5);
    EXPECT_EQ(ParseBrNumber(" -0,25 "), -0.25);
    EXPECT_EQ(ParseBrNumber(FormatFixed(-98765.4321, 3)), -98765.432);
    EXPECT_FALSE(ParseBrNumber("1.5"));  // a dot is no decimal point
    EXPECT_FALSE(ParseBrNumber("1,2,3"));
    EXPECT_FALSE(ParseBrNumber(""));
    EXPECT_EQ(ParseBrNumber("12", true), 12.0);
    EXPECT_FALSE(ParseBrNumber("1,5", true));
}

// Halves on the decimal text, whatever binary value stands behind it; carries
// through every digit and into the thousands; no sign on a rounded zero.
TEST(BrNumber, RoundsDecimalHalvesAwayFromZero) {
    EXPECT_EQ(FormatFixed(9.995, 2), "10,00");  // 9,99499… in binary
    EXPECT_EQ(FormatFixed(1.005, 2), "1,01");
    EXPECT_EQ(FormatFixed(-1.005, 2), "-1,01");
    EXPECT_EQ(FormatFixed(0.285, 2), "0,29");
    EXPECT_EQ(FormatFixed(1.0005, 3), "1,001");
    EXPECT_EQ(FormatFixed(999.9995, 3), "1.000,000");
    EXPECT_EQ(FormatFixed(999.9995, 3, false), "1000,000");
    EXPECT_EQ(FormatFixed(123456789.125, 2), "123.456.789,13");
    EXPECT_EQ(FormatFixed(0.5, 0), "1");
    EXPECT_EQ(FormatFixed(-0.5, 0), "-1");
    EXPECT_EQ(FormatFixed(0.0004, 3), "0,000");
    EXPECT_EQ(FormatFixed(-0.0004, 3), "0,000");
    EXPECT_EQ(FormatFixed(1e-12, 3), "0,000");
    EXPECT_EQ(FormatFixed(0, 0), "0");
    EXPECT_EQ(FormatFloat("#,##0.000", 10079.8015), "10.079,802");
}
