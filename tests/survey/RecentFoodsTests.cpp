// The recent foods of the product and dish lookups as the items page reads
// them: from the server, once per branch, patient and day and again when
// told to; a failed read answers none without a word; codes that could split
// or widen the list are left out of it.
#include "SurveyFixture.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/connection/NetConnection.h"
#include "survey/RecentFoods.h"

using survey::ItemKind;

class RecentFoodsTest : public SurveyTest {
protected:
    void SetUp() override {
        SurveyTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        net = new hostfw::TNetConnection(main_.get(), "netRecentes");
        net->ServerName = QStringLiteral("Zep12600.rdmInquerito");
        net->Host = QStringLiteral("127.0.0.1");
        net->Port = server_->port();
        net->Open();
    }
    // Patient 2 had lunch and dinner on 16/11/2026.
    static survey::SurveyContext jose(const QDate& day) {
        survey::SurveyContext c;
        c.branch = "0001";
        c.patient = "000000000002";
        c.service = "00001";
        c.day = day;
        return c;
    }
    long long reads() {
        server_->dispatcher().flushReadAudit(server_->pool());
        return static_cast<long long>(
            db::scalarNumber(hostfw::hostDatabase(),
                             "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND "
                             "NMOPERACAO = 'Zep12600.rdmInquerito.GetAlimRecentes'",
                             {})
                .value_or(-1));
    }
    hostfw::TNetConnection* net = nullptr;
};

TEST_F(RecentFoodsTest, ReadFromTheServerOncePerPatientAndDay) {
    survey::RecentFoods recent(net);
    survey::SurveyContext day = jose(QDate(2026, 11, 17));
    EXPECT_EQ(recent.codes(day, ItemKind::Product), "000017,000120,000208,000356");
    EXPECT_EQ(recent.codes(day, ItemKind::Dish), "02001,03001");
    day.service = "00005";  // another meal of the same day
    EXPECT_EQ(recent.codes(day, ItemKind::Product), "000017,000120,000208,000356");
    EXPECT_EQ(reads(), 1);

    EXPECT_EQ(recent.codes(jose(QDate(2026, 11, 24)), ItemKind::Dish), "") << "eight days after";
    EXPECT_EQ(recent.codes(day, ItemKind::Dish), "02001,03001");
    EXPECT_EQ(reads(), 3) << "one day held at a time";
    recent.forget();  // an item was stored
    EXPECT_EQ(recent.codes(day, ItemKind::Dish), "02001,03001");
    EXPECT_EQ(reads(), 4);

    // Without a day or a patient there is nothing to ask.
    EXPECT_EQ(recent.codes(jose(QDate()), ItemKind::Product), "");
    survey::SurveyContext nobody = day;
    nobody.patient.clear();
    EXPECT_EQ(recent.codes(nobody, ItemKind::Product), "");
    EXPECT_EQ(reads(), 4);
    EXPECT_TRUE(recent.failure().isEmpty());
}

TEST_F(RecentFoodsTest, AFailedReadAnswersNoCodesWithoutAMessageAndIsAskedAgain) {
    survey::RecentFoods recent(net);
    survey::SurveyContext refused = jose(QDate(2026, 11, 17));
    refused.branch = "0003";  // not one of the operator's branches
    EXPECT_EQ(recent.codes(refused, ItemKind::Product), "");
    EXPECT_EQ(recent.failure(), QStringLiteral("Operador sem permissão de acesso à filial 0003."));
    // Asked again, and answered, once the call can succeed.
    EXPECT_EQ(recent.codes(jose(QDate(2026, 11, 17)), ItemKind::Dish), "02001,03001");
    EXPECT_TRUE(recent.failure().isEmpty());

    recent.forget();
    server_.reset();  // the server goes away
    EXPECT_EQ(recent.codes(jose(QDate(2026, 11, 17)), ItemKind::Dish), "");
    EXPECT_TRUE(recent.failure().contains(QStringLiteral("não responde"))) << recent.failure().toStdString();
    EXPECT_TRUE(dialogs_->shown.empty());
}

TEST(RecentFoodCodes, OnlyPlainCodesGoInTheList) {
    for (const char* code : {"000017", "02001", "AB12", "12345678901234567890"})
        EXPECT_TRUE(survey::RecentFoods::listable(QString::fromLatin1(code))) << code;
    for (const char* code : {"", "1,2", "00001_", "%", "0000%", " 0001", "a b", "123456789012345678901"})
        EXPECT_FALSE(survey::RecentFoods::listable(QString::fromLatin1(code))) << code;
    EXPECT_FALSE(survey::RecentFoods::listable(QStringLiteral("Pão")));
    EXPECT_FALSE(survey::RecentFoods::listable(QStringLiteral("٣٤")));  // digits, but not ASCII ones
}
