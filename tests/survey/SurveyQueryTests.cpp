// The weight queries of the items grid in every dialect: a null weight reads
// as 0 (NVL, ISNULL), except in InterBase, which selects the bare column.
#include "host/connection/ADOIBQuery.h"
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

TEST_F(SurveyTest, WeightQueriesCarryEachDialectsNullHandling) {
    open();
    const struct {
        hostfw::TADOIBQuery* query;
        const char* column;
    } kinds[] = {{screen()->items()->qryQuantProd, "VRPESOMEDI"}, {screen()->items()->qryQuantPrato, "VRPESOMED"}};
    for (const auto& k : kinds) {
        const QString column = QString::fromLatin1(k.column);
        const QString generic = k.query->SQL.join('\n');
        EXPECT_TRUE(generic.startsWith(QStringLiteral("SELECT NVL(%1, 0) AS %1").arg(column))) << k.column;
        EXPECT_EQ(k.query->SQL_ORACLE, k.query->SQL);
        EXPECT_EQ(k.query->SQL_MSSQL.join('\n'), QString(generic).replace("NVL(", "ISNULL("));
        EXPECT_TRUE(k.query->SQL_IB.join('\n').startsWith(QStringLiteral("SELECT %1\n").arg(column))) << k.column;
        EXPECT_FALSE(k.query->SQL_IB.join('\n').contains(QStringLiteral("NVL"))) << k.column;
        EXPECT_EQ(k.query->FieldByName(column)->DataType(), hostfw::TFieldType::ftFloat);
    }
    EXPECT_TRUE(screen()->items()->qryQuantPrato->FieldByName("VRPESOMED")->ReadOnly);
    EXPECT_FALSE(screen()->items()->qryQuantProd->FieldByName("VRPESOMEDI")->ReadOnly);
}
