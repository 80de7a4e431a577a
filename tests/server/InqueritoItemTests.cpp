// Intake items of "Zep12600.rdmInquerito": reading, sequence numbers,
// duplicate lookups and the change packets of the item grid.
#include "InqueritoTestSupport.h"

#include <algorithm>
#include <barrier>
#include <mutex>
#include <thread>

using namespace inqtest;
using protocol::FieldType;

class InqueritoItems : public testsupport::ServerTest {
protected:
    protocol::DataPacket items(const std::string& servico, const std::string& dia) {
        return packet(op("GetItemProd"), dayArgs(servico, dia));
    }
    std::string seq(const std::string& servico, const std::string& dia) {
        auto p = packet(op("GetSeqInquer"), {Filial, Paciente, Inicio, Fim, servico, dia});
        EXPECT_EQ(p.fields, (std::vector<protocol::Field>{{"NRSEQUINQUER", FieldType::String, 3}}));
        return p.rows.at(0).at(0).get<std::string>();
    }
    long long itemsOf(const std::string& servico, const std::string& dia) {
        return countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + Paciente +
                                  "' AND CDSERVFILI = '" + servico + "' AND DTINQUERITO = '" + dia + "'");
    }
    void post(const std::vector<json>& changes) { call(op("SetItemPrato"), json::array({itemPacket(changes)})); }
    std::string refused(const std::vector<json>& changes) {
        return failure(op("SetItemPrato"), json::array({itemPacket(changes)}));
    }
};

TEST_P(InqueritoItems, DayItemsCarryTheGridLayoutAndCatalogueNames) {
    auto p = items("00001", "2026-11-30");
    ASSERT_EQ(p.fields, protocol::fieldsFromJson(itemFields()));
    EXPECT_EQ(column(p, "NRSEQUINQUER"), (std::vector<std::string>{"001", "002", "003", "004"}));

    // A product: tree code shown, internal code aside, product's unit.
    EXPECT_EQ(p.at(0, "CDPRATPROD"), "0701005");
    EXPECT_EQ(p.at(0, "CDPRATPRODAUX"), "000492");
    EXPECT_EQ(p.at(0, "NMPRATPROD"), "Leite, de vaca, integral");
    EXPECT_EQ(p.at(0, "IDTIPOINQUER"), "0");
    EXPECT_EQ(p.at(0, "CDMEDICASE"), "00012");
    EXPECT_EQ(p.at(0, "NMMEDICASE"), "Copo de 200 ml");
    EXPECT_EQ(p.at(0, "SGUNIDADE"), "g");
    EXPECT_EQ(p.at(0, "QTALIMMEDCAS"), 1.0);
    EXPECT_EQ(p.at(0, "QTALIMINQUER"), 206.0);
    EXPECT_EQ(p.at(0, "HRSERVINQ"), "0700");
    EXPECT_EQ(p.at(0, "DTINIINQU"), Inicio);
    EXPECT_EQ(p.at(0, "DTFININQU"), Fim);
    EXPECT_EQ(p.at(0, "DTINQUERITO"), "2026-11-30");
    EXPECT_EQ(p.at(0, "CDFILIAL"), Filial);
    EXPECT_EQ(p.at(0, "CDSERVFILI"), "00001");
    EXPECT_TRUE(p.at(0, "CDFILAUXPRAT").is_null());
    // Milk reaches levothyroxine's calcium limit; French bread nothing.
    EXPECT_EQ(p.at(0, "IDVERMEDICA"), "S");
    EXPECT_EQ(p.at(1, "CDPRATPROD"), "0102006");
    EXPECT_EQ(p.at(1, "IDVERMEDICA"), "N");

    // Dishes: the dish code in both code fields, its owner branch.
    auto lunch = items("00003", "2026-11-30");
    ASSERT_EQ(lunch.rows.size(), 4u);
    EXPECT_EQ(lunch.at(1, "CDPRATPROD"), "01001");
    EXPECT_EQ(lunch.at(1, "CDPRATPRODAUX"), "01001");
    EXPECT_EQ(lunch.at(1, "NMPRATPROD"), "Frango grelhado com legumes");
    EXPECT_EQ(lunch.at(1, "IDTIPOINQUER"), "1");
    EXPECT_EQ(lunch.at(1, "CDFILAUXPRAT"), "P");
    EXPECT_EQ(lunch.at(1, "NMMEDICASE"), "Porção");
    EXPECT_EQ(lunch.at(1, "IDVERMEDICA"), "S");  // its fish and parsley are rich in potassium
    EXPECT_EQ(lunch.at(0, "IDVERMEDICA"), "N");  // rice and beans

    auto dishes = packet(op("GetItemPrato"), dayArgs("00003", "2026-11-30"));
    EXPECT_EQ(dishes.fields, p.fields);
    EXPECT_EQ(column(dishes, "CDPRATPROD"), (std::vector<std::string>{"02001", "01001", "04001"}));

    EXPECT_TRUE(items("00002", "2026-11-30").rows.empty());
    EXPECT_TRUE(packet(op("GetItemProd"), {Paciente, "0002", "00001", Inicio, Fim, "2026-11-30"}).rows.empty());
    EXPECT_FALSE(failure(op("GetItemProd"), {Paciente, Filial, "000001", Inicio, Fim, "2026-11-30"}).empty());
    EXPECT_FALSE(failure(op("GetItemProd"), {Paciente, Filial, "00001", Inicio, Fim, "30/11/2026"}).empty());
}

TEST_P(InqueritoItems, DuplicateLookupsFindTheDayItemsOfAProductOrDish) {
    auto prod = packet(op("GetPesqProd"), {Paciente, Filial, "00001", Inicio, Fim, "2026-11-30", "000017"});
    EXPECT_EQ(prod.fields, (std::vector<protocol::Field>{{"CDPRODUTO", FieldType::String, 10}}));
    EXPECT_EQ(column(prod, "CDPRODUTO"), (std::vector<std::string>{"000017"}));
    EXPECT_TRUE(
        packet(op("GetPesqProd"), {Paciente, Filial, "00001", Inicio, Fim, "2026-11-30", "000018"}).rows.empty());
    EXPECT_TRUE(
        packet(op("GetPesqProd"), {Paciente, Filial, "00003", Inicio, Fim, "2026-11-30", "000017"}).rows.empty());

    auto dish = packet(op("GetPesqPrato"), {Paciente, Filial, "00003", Inicio, Fim, "2026-11-30", "01001", "P"});
    EXPECT_EQ(dish.fields, (std::vector<protocol::Field>{{"CDPRATO", FieldType::String, 10}}));
    EXPECT_EQ(column(dish, "CDPRATO"), (std::vector<std::string>{"01001"}));
    EXPECT_TRUE(
        packet(op("GetPesqPrato"), {Paciente, Filial, "00003", Inicio, Fim, "2026-12-01", "01001", "P"}).rows.empty());
}

TEST_P(InqueritoItems, InsertedItemsAreNumberedAndMappedOntoTheCatalogue) {
    EXPECT_EQ(seq("00002", "2026-11-30"), "0");
    EXPECT_EQ(seq("00001", "2026-11-30"), "4");

    Item bread;  // product by its tree code
    Item salad;
    salad.seq = "002";
    salad.tipo = "1";
    salad.codigo = "04001";
    salad.medicase = "00021";
    salad.total = 90;
    salad.filAux = "0002";  // the dish's own owner is stored, not what the client says
    post({insertOf(bread), insertOf(salad)});
    EXPECT_EQ(seq("00002", "2026-11-30"), "2");

    auto p = items("00002", "2026-11-30");
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.at(0, "CDPRATPROD"), "0102006");
    EXPECT_EQ(p.at(0, "CDPRATPRODAUX"), "000017");
    EXPECT_EQ(p.at(0, "NMPRATPROD"), "Pão, trigo, francês");
    EXPECT_EQ(p.at(0, "NMMEDICASE"), "Unidade");
    EXPECT_EQ(p.at(0, "HRSERVINQ"), "0930");
    EXPECT_EQ(p.at(0, "DTFININQU"), Fim);
    EXPECT_EQ(p.at(1, "CDPRATPROD"), "04001");
    EXPECT_EQ(p.at(1, "CDFILAUXPRAT"), "P");
    EXPECT_EQ(p.at(1, "QTALIMINQUER"), 90.0);
    EXPECT_EQ(countOf(sql(),
                      "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDSERVFILI = '00002' AND DTINQUERITO = "
                      "'2026-11-30' AND CDPRODUTO = '000017' AND CDPRATO IS NULL AND CDFILAUXPRAT IS NULL"),
              1);

    // A number already taken (another client was quicker) moves to the end.
    Item late = bread;
    late.codigo = "0102008";
    post({insertOf(late)});
    EXPECT_EQ(column(items("00002", "2026-11-30"), "NRSEQUINQUER"), (std::vector<std::string>{"001", "002", "003"}));
}

TEST_P(InqueritoItems, EditedItemIsRenumberedAndDeletedItemGoes) {
    Item a, b;
    b.seq = "002";
    b.codigo = "0102008";  // Torrada, pão francês
    post({insertOf(a), insertOf(b)});

    // The client renumbers an edited row after the highest in use.
    Item edited = a;
    edited.seq = "003";
    edited.porcoes = 2;
    edited.total = 100;
    post({updateOf(a, edited)});
    auto p = items("00002", "2026-11-30");
    EXPECT_EQ(column(p, "NRSEQUINQUER"), (std::vector<std::string>{"002", "003"}));
    EXPECT_EQ(p.at(1, "CDPRATPROD"), "0102006");
    EXPECT_EQ(p.at(1, "QTALIMMEDCAS"), 2.0);
    EXPECT_EQ(p.at(1, "QTALIMINQUER"), 100.0);

    // Renumbering onto a number in use takes the next free one instead.
    Item again = b;
    again.seq = "003";
    post({updateOf(b, again)});
    EXPECT_EQ(column(items("00002", "2026-11-30"), "NRSEQUINQUER"), (std::vector<std::string>{"003", "004"}));

    again.seq = "004";
    post({deleteOf(again)});
    EXPECT_EQ(column(items("00002", "2026-11-30"), "CDPRATPROD"), (std::vector<std::string>{"0102006"}));
}

TEST_P(InqueritoItems, StaleOrMissingRowsRefuseTheWholePacket) {
    Item a;
    post({insertOf(a)});
    Item fresh;
    fresh.seq = "002";
    fresh.codigo = "0102008";

    // Another user changed the portions since this client read the row.
    Item stale = a;
    stale.porcoes = 3;
    Item edited = stale;
    edited.porcoes = 4;
    const std::string changed = "Item do inquérito não encontrado ou alterado por outro usuário.";
    EXPECT_EQ(refused({insertOf(fresh), updateOf(stale, edited)}), changed);
    EXPECT_EQ(refused({insertOf(fresh), deleteOf(stale)}), changed);
    Item missing = a;
    missing.seq = "007";
    EXPECT_EQ(refused({insertOf(fresh), deleteOf(missing)}), changed);
    Item otherCode = a;
    otherCode.codigo = "0102008";
    EXPECT_EQ(refused({deleteOf(otherCode)}), changed);

    auto p = items("00002", "2026-11-30");
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.at(0, "QTALIMMEDCAS"), 1.0);
}

TEST_P(InqueritoItems, ItemsThatBreakARuleAreRefused) {
    auto with = [](auto change) {
        Item i;
        change(i);
        return insertOf(i);
    };
    EXPECT_EQ(refused({with([](Item& i) { i.medicase = "00034"; })}),
              "Medida não cadastrada para o produto informado.");
    EXPECT_EQ(refused({with([](Item& i) {
                  i.tipo = "1";
                  i.codigo = "04001";
                  i.medicase = "00015";
              })}),
              "Medida de porcionamento não cadastrada para o prato informado.");
    EXPECT_EQ(refused({with([](Item& i) { i.codigo = "0102"; })}),
              "Produto deve ser do último nível da árvore de produtos.");
    EXPECT_EQ(refused({with([](Item& i) { i.codigo = "9999999"; })}), "Produto não cadastrado.");
    EXPECT_EQ(refused({with([](Item& i) {
                  i.tipo = "1";
                  i.codigo = "01006";
                  i.medicase = "00025";
              })}),
              "Prato não cadastrado para a filial.");
    EXPECT_EQ(refused({with([](Item& i) { i.tipo = "2"; })}), "Tipo deve ser informado ou não existente.");
    EXPECT_EQ(refused({with([](Item& i) { i.porcoes = 0; })}), "Quantidade deve ser maior que 0.");
    EXPECT_EQ(refused({with([](Item& i) { i.total = -1; })}), "Quantidade total não pode ser negativa.");
    EXPECT_EQ(refused({with([](Item& i) { i.dia = "2026-12-07"; })}),
              "Data do inquérito deve estar dentro do período de inquérito.");
    EXPECT_EQ(refused({with([](Item& i) { i.inicio = "2026-11-29"; })}), "Período de inquérito não cadastrado.");
    EXPECT_EQ(refused({with([](Item& i) { i.servico = "00007"; })}), "Serviço não cadastrado para a filial.");
    EXPECT_EQ(refused({with([](Item& i) { i.hora = "2460"; })}), "Horário do serviço inválido: 2460.");
    // Malformed values: longer than their column, not a number.
    EXPECT_FALSE(refused({with([](Item& i) { i.medicase = "000150"; })}).empty());
    EXPECT_FALSE(refused({with([](Item& i) { i.codigo = std::string(21, '1'); })}).empty());
    EXPECT_FALSE(refused({with([](Item& i) { i.seq = "A1"; })}).empty());

    // A good item before a bad one is not kept either.
    Item good;
    EXPECT_FALSE(refused({insertOf(good), with([](Item& i) {
                              i.seq = "002";
                              i.medicase = "00034";
                          })})
                     .empty());

    // A packet without the item's key fields is refused as a whole.
    json incomplete = itemPacket({insertOf(good)});
    incomplete["fields"].erase(incomplete["fields"].begin() + 13);  // NRSEQUINQUER
    for (auto& c : incomplete["changes"]) c["new"].erase(c["new"].begin() + 13);
    EXPECT_EQ(failure(op("SetItemPrato"), json::array({incomplete})),
              "O pacote de alterações não tem o campo NRSEQUINQUER.");

    EXPECT_EQ(itemsOf("00002", "2026-11-30"), 0);
}

TEST_P(InqueritoItems, TwoClientsPostingToTheSameDayLoseNothing) {
    constexpr int Rounds = 5;
    std::barrier bothRead(2);
    std::vector<std::string> errors;
    std::mutex errorsMutex;
    auto client = [&](int who) {
        auto rpc = server_->client();
        auto note = [&](const std::exception& e) {
            std::lock_guard lock(errorsMutex);
            errors.push_back(e.what());
        };
        for (int round = 0; round < Rounds; ++round) {
            // Both read the same highest number, then post at once.
            int next = 0;
            try {
                auto reply = protocol::DataPacket::fromJson(
                    rpc->call(op("GetSeqInquer"), {Filial, Paciente, Inicio, Fim, "00002", "2026-11-30"}).data);
                next = std::stoi(reply.rows.at(0).at(0).get<std::string>()) + 1;
            } catch (const std::exception& e) {
                note(e);
            }
            bothRead.arrive_and_wait();
            try {
                Item i;
                i.seq = std::string(next < 10 ? "00" : "0") + std::to_string(next);
                i.codigo = who == 0 ? "0102006" : "0102008";
                i.porcoes = round + 1;
                rpc->call(op("SetItemPrato"), json::array({itemPacket({insertOf(i)})}));
            } catch (const std::exception& e) {
                note(e);
            }
            bothRead.arrive_and_wait();
        }
    };
    std::thread first(client, 0), second(client, 1);
    first.join();
    second.join();
    EXPECT_TRUE(errors.empty()) << errors.front();

    auto p = items("00002", "2026-11-30");
    ASSERT_EQ(p.rows.size(), 2u * Rounds);
    std::vector<std::string> expected;
    for (int n = 1; n <= 2 * Rounds; ++n) expected.push_back(std::string(n < 10 ? "00" : "0") + std::to_string(n));
    EXPECT_EQ(column(p, "NRSEQUINQUER"), expected);
    for (const char* code : {"0102006", "0102008"}) {
        std::vector<std::string> codes = column(p, "CDPRATPROD");
        EXPECT_EQ(std::count(codes.begin(), codes.end(), code), Rounds) << code;
    }
}

// The number a client proposes may be taken by another client meanwhile: the
// reply names where each item was stored, and a later change under that
// number succeeds.
TEST_P(InqueritoItems, APostAnswersTheKeysItsItemsWereStoredUnder) {
    Item first;  // proposes 001
    auto reply = packet(op("SetItemPrato"), json::array({itemPacket({insertOf(first)})}));
    ASSERT_EQ(fieldNames(reply), (std::vector<std::string>{"CDFILIAL", "CDPACIENTE", "DTINIINQU", "DTFININQU",
                                                           "CDSERVFILI", "DTINQUERITO", "NRSEQUINQUER"}));
    ASSERT_EQ(reply.rows.size(), 1u);
    EXPECT_EQ(reply.rows[0], (protocol::Row{Filial, Paciente, Inicio, Fim, "00002", "2026-11-30", "001"}));

    Item second;  // read 0 as the highest number too, so it also proposes 001
    second.codigo = "0102008";
    reply = packet(op("SetItemPrato"), json::array({itemPacket({insertOf(second)})}));
    ASSERT_EQ(reply.rows.size(), 1u);
    EXPECT_EQ(reply.at(0, "NRSEQUINQUER"), "002");

    // The second client changes its row under the number it was told.
    second.seq = "002";
    Item more = second;
    more.porcoes = 2;
    more.total = 100;
    reply = packet(op("SetItemPrato"), json::array({itemPacket({updateOf(second, more)})}));
    EXPECT_EQ(reply.at(0, "NRSEQUINQUER"), "002");
    EXPECT_EQ(column(items("00002", "2026-11-30"), "QTALIMMEDCAS"), (std::vector<std::string>{"1.0", "2.0"}));

    // A delete stores nothing: no row.
    EXPECT_TRUE(packet(op("SetItemPrato"), json::array({itemPacket({deleteOf(more)})})).rows.empty());
    EXPECT_EQ(itemsOf("00002", "2026-11-30"), 1);
}

INQUERITO_ENGINES(InqueritoItems);
