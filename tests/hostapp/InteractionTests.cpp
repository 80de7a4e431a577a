// Screen "ZEP12650": drug-nutrient interactions of a product or a dish for
// the demo patient 000000000001 (levothyroxine since 2026-01-15: calcium from
// 100 mg and iron from 2 mg per 100 g; ciprofloxacin 2026-10-01..10).
#include "HostAppFixture.h"
#include "host/core/Failures.h"
#include "hostapp/InteractionScreen.h"

#include <QDateTime>
#include <QDir>

using namespace hostapp;

namespace {

const QString kPatient = "000000000001";
const QString kWholeMilk = "0701005";    // 123 mg calcium per 100 g
const QString kBrownRice = "0101001";    // 5 mg calcium, 0.3 mg iron
const QString kMashedPotato = "02002";   // recipe with powdered whole milk

InteractionRequest product(const QString& code, QDate day) { return {kPatient, code, "", "0001", day}; }

QStringList pairs(const QList<Interaction>& rows) {
    QStringList out;
    for (const Interaction& i : rows) out << i.drug.section(' ', 0, 0) + "/" + i.nutrient;
    return out;
}

} // namespace

using InteractionTest = HostAppTest;

TEST_F(InteractionTest, CalciumRichProductInteractsWithLevothyroxine) {
    const auto rows = findInteractions(hostfw::hostDatabase(), product(kWholeMilk, QDate(2026, 3, 1)));
    ASSERT_EQ(pairs(rows), QStringList({"Levotiroxina/Cálcio"}));
    EXPECT_EQ(rows[0].productName, "Leite, de vaca, integral");
    EXPECT_DOUBLE_EQ(rows[0].content, 123);
    EXPECT_DOUBLE_EQ(rows[0].threshold, 100);
    EXPECT_EQ(rows[0].unit, "mg");

    EXPECT_TRUE(findInteractions(hostfw::hostDatabase(), product(kBrownRice, QDate(2026, 3, 1))).isEmpty());
}

TEST_F(InteractionTest, OnlyMedicationActiveOnTheDayCounts) {
    auto& db = hostfw::hostDatabase();
    EXPECT_TRUE(findInteractions(db, product(kWholeMilk, QDate(2026, 1, 14))).isEmpty());  // before the start
    EXPECT_EQ(pairs(findInteractions(db, product(kWholeMilk, QDate(2026, 1, 15)))), QStringList({"Levotiroxina/Cálcio"}));
    // Ciprofloxacin is taken from the 1st to the 10th, both days included.
    const QStringList during = pairs(findInteractions(db, product(kWholeMilk, QDate(2026, 10, 10))));
    EXPECT_TRUE(during.contains("Ciprofloxacino/Cálcio")) << during.join(';').toStdString();
    const QStringList after = pairs(findInteractions(db, product(kWholeMilk, QDate(2026, 10, 11))));
    EXPECT_FALSE(after.contains("Ciprofloxacino/Cálcio"));
    EXPECT_TRUE(after.contains("Levotiroxina/Cálcio"));
}

TEST_F(InteractionTest, DishListsTheProductsOfItsRecipe) {
    const InteractionRequest dish{kPatient, kMashedPotato, "P", "0001", QDate(2026, 3, 1)};
    const auto rows = findInteractions(hostfw::hostDatabase(), dish);
    ASSERT_FALSE(rows.isEmpty());
    login("DEMO", "demo", "0001");
    EXPECT_TRUE(InteractionScreen(dish, hostfw::hostDatabase()).headerText().contains("Prato: 02.002 - Purê de batata"));
    for (const Interaction& i : rows) EXPECT_TRUE(i.content >= i.threshold);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Interaction& i) {
        return i.productName.startsWith("Leite, de vaca, integral, pó") && i.nutrient == "Cálcio";
    }));
    // The same code read as a product finds nothing: the owner decides the kind.
    EXPECT_TRUE(findInteractions(hostfw::hostDatabase(), product(kMashedPotato, QDate(2026, 3, 1))).isEmpty());
}

TEST_F(InteractionTest, ValuesFromTheModuleAreCheckedAndNormalised) {
    const auto r = InteractionRequest::fromValues(
        {kPatient, "07.01.005", "", "0001", QDateTime(QDate(2026, 3, 1), QTime(0, 0))});
    EXPECT_EQ(r.itemCode, kWholeMilk);  // picture separators dropped
    EXPECT_FALSE(r.isDish());
    EXPECT_EQ(r.day, QDate(2026, 3, 1));
    EXPECT_EQ(InteractionRequest::fromValues({kPatient, "02002", "P", "0001", "2026-03-01"}).day, QDate(2026, 3, 1));

    EXPECT_THROW(InteractionRequest::fromValues({kPatient, kWholeMilk, "", "0001"}), hostfw::EHostError);
    EXPECT_THROW(InteractionRequest::fromValues({kPatient, kWholeMilk, "", "0001", "ontem"}), hostfw::EHostError);
    EXPECT_THROW(InteractionRequest::fromValues({"", kWholeMilk, "", "0001", QDate(2026, 3, 1)}), hostfw::EHostError);
    try {
        openHostScreen("ZEP99999", {}, nullptr);
        FAIL() << "an unknown screen must be refused";
    } catch (const hostfw::EHostError& e) {
        EXPECT_EQ(e.message(), "A tela ZEP99999 não está disponível neste sistema.");
    }
}

TEST_F(InteractionTest, ScreenShowsPatientItemAndRows) {
    login("DEMO", "demo", "0001");  // for the code pictures
    InteractionScreen screen(product(kWholeMilk, QDate(2026, 3, 1)), hostfw::hostDatabase());
    EXPECT_EQ(screen.objectName(), "ZEP12650");
    EXPECT_EQ(screen.windowTitle(), "Interações Medicamento-Nutriente");
    EXPECT_TRUE(screen.headerText().contains("Maria Aparecida Nogueira Campos"));
    EXPECT_TRUE(screen.headerText().contains("Produto: 07.01.005 - Leite, de vaca, integral"))
        << screen.headerText().toStdString();
    EXPECT_TRUE(screen.headerText().contains("01/03/2026"));
    ASSERT_EQ(screen.rowCount(), 1);
    EXPECT_EQ(screen.cellText(0, 1), "Cálcio");
    EXPECT_EQ(screen.cellText(0, 3), "123,000");  // pt-BR decimal comma
    EXPECT_EQ(screen.cellText(0, 4), "100,000");

    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    screen.show();
    ASSERT_TRUE(screen.grab().save(dir + "/host-zep12650.png"));
}

TEST_F(InteractionTest, DayIntakeStandsBesideTheLimitOncePerDrugAndNutrient) {
    login("DEMO", "demo", "0001");
    // Mashed potato: several products of its recipe bring calcium for levothyroxine.
    const InteractionRequest dish{kPatient, kMashedPotato, "P", "0001", QDate(2026, 3, 1)};
    QStringList asked;
    InteractionScreen screen(dish, hostfw::hostDatabase(), nullptr,
                             [&](const InteractionRequest& r, const QStringList& codes) {
                                 EXPECT_EQ(r.day, QDate(2026, 3, 1));
                                 asked = codes;
                                 return std::map<QString, double>{{"010", 1234.5}};
                             });
    ASSERT_GE(screen.rowCount(), 1);
    EXPECT_EQ(asked, QStringList{"010"}) << "each nutrient asked once";
    ASSERT_EQ(screen.intakeRowCount(), 1);
    EXPECT_EQ(screen.intakeCellText(0, 1), "Cálcio");
    EXPECT_EQ(screen.intakeCellText(0, 2), "1.234,500");
    EXPECT_EQ(screen.intakeCellText(0, 3), "100,000 por 100 g");
    EXPECT_EQ(screen.intakeCellText(0, 4), "mg");
    EXPECT_TRUE(screen.intakeNote().contains("01/03/2026"));

    // The intake cannot be read: the interactions still show, the intake says why.
    InteractionScreen failing(dish, hostfw::hostDatabase(), nullptr,
                              [](const InteractionRequest&, const QStringList&) -> std::map<QString, double> {
                                  throw hostfw::EHostError("Servidor de aplicação não responde.");
                              });
    EXPECT_EQ(failing.rowCount(), screen.rowCount());
    EXPECT_EQ(failing.intakeCellText(0, 2), "—");
    EXPECT_EQ(failing.intakeNote(), "Consumo do paciente em 01/03/2026 indisponível: Servidor de aplicação não responde.");
}
