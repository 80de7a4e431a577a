// Field values as pt-BR text: display formats, typed text, refusals and text events.
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <gtest/gtest.h>

using namespace hostfw;
using protocol::json;

namespace {

struct OneRow {
    TClientDataSet ds{nullptr, "cds"};
    TField* text = ds.AddField("NMPRATPROD", TFieldType::ftString, 5);
    TField* qty = ds.AddField("QTALIM", TFieldType::ftFloat);
    TField* seq = ds.AddField("NRSEQ", TFieldType::ftInteger);
    TField* day = ds.AddField("DTINQUERITO", TFieldType::ftDateTime);
    OneRow() {
        ds.CreateDataSet();
        ds.Append();
    }
    QString shown(double v, const QString& format) {
        qty->DisplayFormat = format;
        qty->SetValue(v);
        return qty->DisplayText();
    }
    QString refusal(TField* f, const QString& typed) {
        try {
            f->SetAsString(typed);
        } catch (const EHostError& e) {
            return e.message();
        }
        return {};
    }
};

} // namespace

TEST(DataSetText, DisplayFormatsUseBrazilianSeparators) {
    OneRow t;
    EXPECT_EQ(t.shown(1234.5, "#,##0.000"), "1.234,500");
    EXPECT_EQ(t.shown(0.5, "#,##0.000"), "0,500");
    EXPECT_EQ(t.shown(-1234567.891, "#,##0.00"), "-1.234.567,89");
    EXPECT_EQ(t.shown(5, "0,000"), "0.005");
    EXPECT_EQ(t.shown(1234567, "0,000"), "1.234.567");
    EXPECT_EQ(t.shown(2.675, "0.00"), "2,68");    // halves away from zero, not binary noise
    EXPECT_EQ(t.shown(0.0005, "0.000"), "0,001");
    EXPECT_EQ(t.shown(9.9996, "0.000"), "10,000");  // carry into the whole part
    EXPECT_EQ(t.shown(-0.0001, "0.00"), "0,00");   // no minus on a rounded zero
    EXPECT_EQ(t.shown(1.5, "0.0#"), "1,5");
    EXPECT_EQ(t.shown(1.255, "0.0#"), "1,26");
    EXPECT_EQ(t.shown(0, "#"), "");
    EXPECT_EQ(t.shown(12, "0 'g'"), "12 g");
    EXPECT_EQ(t.shown(-3, "0.0;(0.0);zero"), "(3,0)");
    EXPECT_EQ(t.shown(0, "0.0;(0.0);'zero'"), "zero");
    EXPECT_EQ(t.shown(1e20, "#,##0"), "100.000.000.000.000.000.000");

    t.seq->DisplayFormat = "#,##0";
    t.seq->SetValue(1234567);
    EXPECT_EQ(t.seq->DisplayText(), "1.234.567");
    t.qty->Clear();
    EXPECT_EQ(t.qty->DisplayText(), "");  // null shows nothing, whatever the format
}

TEST(DataSetText, PlainTextOfEachType) {
    OneRow t;
    t.qty->SetValue(1234.5);
    EXPECT_EQ(t.qty->AsString(), "1234,5");
    t.qty->SetValue(0.1 + 0.2);
    EXPECT_EQ(t.qty->AsString(), "0,3");
    t.qty->SetValue(2.0);
    EXPECT_EQ(t.qty->AsString(), "2");
    t.day->SetAsDate(QDate(2026, 3, 7));
    EXPECT_EQ(t.day->AsString(), "07/03/2026");
    EXPECT_EQ(t.day->DisplayText(), "07/03/2026");
    EXPECT_EQ(t.day->Text(), "07/03/2026");
    t.day->SetAsDateTime(QDateTime(QDate(2026, 3, 8), QTime(15, 30)));
    EXPECT_EQ(t.day->AsDate(), QDate(2026, 3, 8));
    t.seq->SetAsInteger(-42);
    EXPECT_EQ(t.seq->AsString(), "-42");
    EXPECT_TRUE(t.text->IsNull());
    EXPECT_EQ(t.text->AsString(), "");
}

TEST(DataSetText, TypedTextIsParsedInBrazilianForms) {
    OneRow t;
    t.qty->SetAsString("1,5");
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 1.5);
    t.qty->SetAsString(" 1.234,5 ");
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 1234.5);
    t.qty->SetAsString("-0,25");
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), -0.25);
    t.qty->SetAsString(t.qty->AsString());  // its own text reads back
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), -0.25);
    t.qty->SetAsString("");
    EXPECT_TRUE(t.qty->IsNull());
    t.seq->SetAsString("1.234");
    EXPECT_EQ(t.seq->AsInteger(), 1234);

    t.day->SetAsString("01/03/2026");
    EXPECT_EQ(t.day->AsDate(), QDate(2026, 3, 1));
    t.day->SetAsString("02032026");
    EXPECT_EQ(t.day->AsDate(), QDate(2026, 3, 2));
    t.day->SetAsString("03/03/26");
    EXPECT_EQ(t.day->AsDate(), QDate(2026, 3, 3));
    t.day->SetAsString("  /  /    ");  // an empty masked edit
    EXPECT_TRUE(t.day->IsNull());
}

TEST(DataSetText, BadTextIsRefusedAndTheValueKept) {
    OneRow t;
    t.qty->SetValue(7.0);
    t.qty->DisplayLabel = "Quantidade";
    EXPECT_EQ(t.refusal(t.qty, "abc"), "'abc' não é um valor válido para o campo Quantidade.");
    EXPECT_FALSE(t.refusal(t.qty, "1.5").isEmpty());  // a dot is no decimal point in pt-BR
    EXPECT_FALSE(t.refusal(t.qty, "1,2,3").isEmpty());
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 7.0);
    EXPECT_EQ(t.refusal(t.seq, "1,5"), "'1,5' não é um valor válido para o campo NRSEQ.");
    t.day->SetAsDate(QDate(2026, 1, 1));
    EXPECT_FALSE(t.refusal(t.day, "31/02/2026").isEmpty());
    EXPECT_FALSE(t.refusal(t.day, "01/13/2026").isEmpty());
    EXPECT_FALSE(t.refusal(t.day, "01/03/    ").isEmpty());
    EXPECT_EQ(t.day->AsDate(), QDate(2026, 1, 1));
    EXPECT_THROW(t.qty->SetValue(QVariant(std::numeric_limits<double>::infinity())), EHostError);
    EXPECT_THROW(t.seq->SetValue(2.5), EHostError);
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 7.0);
}

TEST(DataSetText, StringLongerThanItsSizeIsRefused) {
    OneRow t;
    t.text->SetValue("ação!");  // five characters, more bytes
    EXPECT_EQ(t.text->AsString(), "ação!");
    try {
        t.text->SetValue("abcdef");
        FAIL() << "six characters in a field of five";
    } catch (const EHostError& e) {
        EXPECT_TRUE(e.message().contains("NMPRATPROD"));
    }
    EXPECT_EQ(t.text->AsString(), "ação!");
    t.text->SetValue("");
    EXPECT_TRUE(t.text->IsNull());  // an empty text is no value
}

TEST(DataSetText, TextEventsValidationAndChange) {
    OneRow t;
    t.text->OnGetText = [&](TField* f, QString& text, bool display) {
        const QString v = f->AsString();
        text = v == "0" ? "Produto" : (v == "1" ? "Prato" : QString());
        if (!display && !text.isEmpty()) text += "*";
    };
    t.text->OnSetText = [](TField* f, const QString& text) {
        if (text == "Produto") f->SetValue("0");
        else if (text == "Prato") f->SetValue("1");
    };
    t.text->SetText("Prato");
    EXPECT_EQ(t.text->AsString(), "1");
    EXPECT_EQ(t.text->DisplayText(), "Prato");
    EXPECT_EQ(t.text->Text(), "Prato*");
    t.text->SetText("Outro");  // the handler leaves it as it was
    EXPECT_EQ(t.text->AsString(), "1");

    QStringList calls;
    t.qty->OnValidate = [&](TField* f) {
        calls << "validate";
        if (f->AsFloat() < 0) throw EHostError("negativo");
    };
    t.qty->OnChange = [&](TField*) { calls << "change"; };
    t.qty->SetValue(2.0);
    EXPECT_THROW(t.qty->SetValue(-1.0), EHostError);
    EXPECT_DOUBLE_EQ(t.qty->AsFloat(), 2.0);
    EXPECT_EQ(calls, (QStringList{"validate", "change", "validate"}));
}

TEST(DataSetText, DisplayTextAtReadsAnotherRowQuietly) {
    TClientDataSet ds(nullptr, "cdsProdPrat");
    TField* type = ds.AddField("IDTIPOINQUER", TFieldType::ftString, 1);
    TField* code = ds.AddField("CDPRATPROD", TFieldType::ftString, 20);
    code->OnGetText = [&](TField* f, QString& text, bool) {
        text = type->AsString() == "0" ? "P-" + f->AsString() : QString();
    };
    ds.SetData({{"fields", {{{"name", "IDTIPOINQUER"}, {"type", "string"}}, {{"name", "CDPRATPROD"}, {"type", "string"}}}},
                {"rows", json::array({json::array({"1", "100"}), json::array({"0", "200"})})}});
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet*) { ++scrolls; };
    ds.BeforeScroll = [&](TClientDataSet*) { ++scrolls; };
    EXPECT_EQ(ds.DisplayTextAt(1, code->Index()), "P-200");
    EXPECT_EQ(ds.DisplayTextAt(0, code->Index()), "");
    EXPECT_EQ(ds.DisplayTextAt(5, code->Index()), "");
    EXPECT_EQ(ds.DisplayTextAt(0, 9), "");
    EXPECT_FALSE(ds.ValueAt(-1, 0).isValid());
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(code->AsString(), "100");
}
