// The lookup routines over scripted dialogs: picking a row, marking a code
// list, finding a row, checking a code against the code picture.
#include "LookupTestData.h"

#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/controls/Lookups.h"
#include "host/core/Session.h"

#include <gtest/gtest.h>

using namespace hostfw;
using testdata::CodeList;

namespace {

const std::vector<std::pair<QString, QString>> kServices = {
    {"01", "Desjejum"}, {"03", "Almoço"}, {"07", "Jantar"}, {"09", "Ceia"}};

}  // namespace

TEST(LookupPesquisar, EmptyListShowsItsTextAndAnswersFalse) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list({});
    EXPECT_FALSE(Pesquisa::Pesquisar(list.source, QStringLiteral("Filial|Não há filial cadastrada."), false, true));
    EXPECT_TRUE(scripted.lookupsShown.empty());
    ASSERT_EQ(scripted.shown.size(), 1u);
    EXPECT_EQ(scripted.shown[0].kind, DialogKind::Information);
    EXPECT_EQ(scripted.shown[0].text, QStringLiteral("Não há filial cadastrada."));

    list.dataSet->Close();  // a closed list is an empty one
    EXPECT_FALSE(Pesquisa::Pesquisar(list.source, QStringLiteral("Filial|Vazia"), false, true));
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Vazia"));
}

TEST(LookupPesquisar, PickPositionsCancelDoesNot) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list(kServices);
    list.dataSet->MoveTo(2);

    EXPECT_FALSE(Pesquisa::Pesquisar(list.source, QStringLiteral("Serviço|Nada"), false, true));
    EXPECT_EQ(list.dataSet->RecNo(), 2);

    scripted.lookups.push_back(LookupAnswer{false, 2, {}});
    EXPECT_TRUE(Pesquisa::Pesquisar(list.source, QStringLiteral("Serviço|Nada"), false, true));
    EXPECT_EQ(list.code(), QStringLiteral("07"));
    EXPECT_EQ(scripted.lookupsShown.back().title, QStringLiteral("Serviço"));
    EXPECT_FALSE(scripted.lookupsShown.back().multiSelect);

    // A row outside the list is no pick.
    scripted.lookups.push_back(LookupAnswer{true, 9, {}});
    EXPECT_FALSE(Pesquisa::Pesquisar(list.source, QStringLiteral("Serviço|Nada"), false, true));
    EXPECT_EQ(list.code(), QStringLiteral("07"));

    EXPECT_THROW(Pesquisa::Pesquisar(nullptr, QStringLiteral("X|Y"), false, true), EHostError);
}

TEST(LookupPesquisar, PlusShowsCodesThroughTheirMaskOnlyWhileOpen) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list({{"0101001", "Arroz"}, {"0101002", "Feijão"}});
    TField* code = list.dataSet->FieldByName("CODIGO");
    code->EditMask = QStringLiteral("99.99.999");
    QString shownInWindow;
    scripted.onLookup = [&](const LookupRequest& r) { shownInWindow = r.dataSet->DisplayTextAt(1, code->Index()); };
    scripted.lookups.push_back(LookupAnswer{true, 1, {}});

    EXPECT_TRUE(Pesquisa::Pesquisar_Plus(list.source, QStringLiteral("Produto|Não há produto cadastrado."), false, true));
    EXPECT_EQ(shownInWindow, QStringLiteral("01.01.002"));
    EXPECT_EQ(list.code(), QStringLiteral("0101002"));
    EXPECT_EQ(code->DisplayText(), QStringLiteral("0101002"));
    EXPECT_FALSE(code->OnGetText);
}

TEST(LookupPesquisaLista, MarksBuildTheCodeListInListOrder) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list(kServices, /*withMark=*/true);
    TField* mark = list.dataSet->FieldByName("IDMARCADO");
    QString codes = QStringLiteral("_07_");

    scripted.lookups.push_back(LookupAnswer{true, -1, {"07", "01"}});
    EXPECT_TRUE(Pesqlista::PesquisaLista(list.source, "CODIGO", "Serviço|Não há serviço cadastrado.", false, codes));
    ASSERT_EQ(scripted.lookupsShown.size(), 1u);
    const LookupRequest& request = scripted.lookupsShown[0];
    EXPECT_TRUE(request.multiSelect);
    EXPECT_EQ(request.keyField, QStringLiteral("CODIGO"));
    EXPECT_EQ(request.marked, QStringList{"07"});
    EXPECT_EQ(request.title, QStringLiteral("Serviço"));
    EXPECT_EQ(codes, QStringLiteral("_01_07_"));

    // IDMARCADO follows the marks, without changes left in the log, position kept.
    EXPECT_EQ(list.dataSet->RecNo(), 1);
    EXPECT_EQ(list.dataSet->ValueAt(0, mark->Index()).toString(), QStringLiteral("S"));
    EXPECT_TRUE(list.dataSet->ValueAt(1, mark->Index()).isNull());
    EXPECT_EQ(list.dataSet->ValueAt(2, mark->Index()).toString(), QStringLiteral("S"));
    EXPECT_EQ(list.dataSet->ChangeCount(), 0);
    EXPECT_TRUE(list.dataSet->LogChanges);

    // Cancel keeps the list; nothing marked empties it and clears the marks.
    EXPECT_FALSE(Pesqlista::PesquisaLista(list.source, "CODIGO", "Serviço|Vazio", false, codes));
    EXPECT_EQ(codes, QStringLiteral("_01_07_"));
    EXPECT_EQ(scripted.lookupsShown.back().marked, (QStringList{"01", "07"}));
    scripted.lookups.push_back(LookupAnswer{true, -1, {}});
    EXPECT_TRUE(Pesqlista::PesquisaLista(list.source, "CODIGO", "Serviço|Vazio", false, codes));
    EXPECT_EQ(codes, QString());
    EXPECT_TRUE(list.dataSet->ValueAt(0, mark->Index()).isNull());
}

TEST(LookupPesquisaLista, OpensAClosedListAndNamesAMissingKeyField) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list({});
    list.dataSet->Close();
    QString codes = QStringLiteral("_01_");
    EXPECT_FALSE(Pesqlista::PesquisaLista(list.source, "CODIGO", "Nutriente|Não há nutriente cadastrado para o grupo informado.",
                                          false, codes));
    EXPECT_TRUE(list.dataSet->Active());
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Não há nutriente cadastrado para o grupo informado."));
    EXPECT_EQ(codes, QStringLiteral("_01_"));

    CodeList full(kServices);
    EXPECT_THROW(Pesqlista::PesquisaLista(full.source, "CDNADA", "X|Y", false, codes), EHostError);
}

TEST(LookupProcura, PositionsOnTheFirstRowHoldingTheText) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list(kServices);
    list.dataSet->MoveTo(4);

    scripted.finds.push_back(QStringLiteral("almo"));
    Procurar::Procura(list.dataSet);
    EXPECT_EQ(list.code(), QStringLiteral("03"));
    EXPECT_TRUE(scripted.shown.empty());

    // Hidden fields are not searched.
    scripted.finds.push_back(QStringLiteral("oculto"));
    Procurar::Procura(list.dataSet);
    EXPECT_EQ(list.code(), QStringLiteral("03"));
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Registro não encontrado."));

    // The user cancelled the find dialog: nothing happens.
    Procurar::Procura(list.dataSet);
    EXPECT_EQ(scripted.shown.size(), 1u);
}

TEST(LookupValidEx, CodesMustFillThePictureToItsLastLevel) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    session().productPicture = {QStringLiteral("99.99.999"), 3};
    session().dishPicture = {QStringLiteral("9.999"), 2};

    for (const QString& good : {QStringLiteral("0101001"), QStringLiteral(" 0101001 ")}) {
        QString code = good;
        EXPECT_NO_THROW(Tabvalid::ValidEx(nullptr, 0, code, 0, QString(), true)) << good.toStdString();
        EXPECT_EQ(code, good.trimmed());
    }
    QString masked = QStringLiteral("01.01.001");
    Tabvalid::ValidEx(nullptr, 0, masked, 0, QString(), true);
    EXPECT_EQ(masked, QStringLiteral("0101001"));
    EXPECT_TRUE(scripted.shown.empty());

    // A group or subgroup of the tree is no leaf.
    for (const QString& bad : {QStringLiteral("010"), QStringLiteral("0101"), QStringLiteral("01"),
                               QStringLiteral(" 01.01 "), QStringLiteral("01a1"), QStringLiteral("01.0"),
                               QStringLiteral("01.01."), QStringLiteral("0101.001"), QStringLiteral("01010011"),
                               QString()}) {
        QString code = bad;
        EXPECT_THROW(Tabvalid::ValidEx(nullptr, 0, code, 0, QString(), true), EAbort) << bad.toStdString();
        EXPECT_EQ(code, bad);
    }
    EXPECT_EQ(scripted.shown[0].kind, DialogKind::Error);
    EXPECT_EQ(scripted.shown[0].text, QStringLiteral("Código '010' não confere com a máscara 99.99.999."));

    // Dishes follow their own picture.
    QString dish = QStringLiteral("1001");
    EXPECT_NO_THROW(Tabvalid::ValidEx(nullptr, 1, dish, 0, QString(), true));
    dish = QStringLiteral("1");
    EXPECT_THROW(Tabvalid::ValidEx(nullptr, 1, dish, 0, QString(), true), EAbort);
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Código '1' não confere com a máscara 9.999."));
    session().productPicture = {};
    session().dishPicture = {};
}

// The multi-choice lists are protocol's code lists.
TEST(LookupCodeLists, ReadAndWriteTheWireForm) {
    EXPECT_EQ(codesOfList("_01_07_"), QStringList({"01", "07"}));
    EXPECT_EQ(codeListOf({"01", "07"}), "_01_07_");
    EXPECT_EQ(codeListOf(codesOfList("_00001_00002_")), "_00001_00002_");
    EXPECT_EQ(codeListOf({}), "");  // no code: an empty text, not "_"
    EXPECT_TRUE(codesOfList("").isEmpty());
    EXPECT_TRUE(codesOfList("T").isEmpty());      // all: no single code marked
    EXPECT_TRUE(codesOfList("01_07").isEmpty());  // not a list
}

// "All of these rows" as a list: every key, and "_" (not "") for no row.
TEST(LookupCodeLists, ListOfEveryRow) {
    testdata::CodeList rows({{"01", "Um"}, {"07", "Sete"}, {"10", "Dez"}});
    rows.dataSet->Next();  // wherever it stands, every row counts
    EXPECT_EQ(codeListOfRows(rows.dataSet, QStringLiteral("CODIGO")), "_01_07_10_");
    testdata::CodeList none(std::vector<std::pair<QString, QString>>{});
    EXPECT_EQ(codeListOfRows(none.dataSet, QStringLiteral("CODIGO")), "_");
    EXPECT_EQ(codesOfList(codeListOfRows(rows.dataSet, QStringLiteral("CODIGO"))), QStringList({"01", "07", "10"}));
}
