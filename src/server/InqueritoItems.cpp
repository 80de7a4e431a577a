// Intake items of one day and service: GetItemProd, GetItemPrato,
// SetItemPrato, GetSeqInquer, GetPesqProd, GetPesqPrato.
#include "db/Query.h"
#include "protocol/ItemRecord.h"
#include "server/InqueritoOperations.h"
#include "server/Restrictions.h"
#include "server/SurveyRules.h"
#include "server/Writes.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace server::inquerito {

namespace {

using protocol::ChangeKind;
using protocol::Date;
using protocol::Field;
using protocol::FieldType;
using namespace survey;

// ---- reading ----------------------------------------------------------------

const std::vector<Field>& itemFields() { return protocol::item::fields(); }

// A product item shows its tree code and keeps the internal code aside; a
// dish item shows its dish code in both.
std::string itemQuery(bool dishesOnly) {
    return restrictions::interactingProductsTable("XPROD") +
           "SELECT I.CDPACIENTE AS CDPACIENTE, "
               "CASE WHEN I.IDTIPOINQUER = '1' THEN I.CDPRATO ELSE PR.CDARVPROD END AS CDPRATPROD, "
               "CASE WHEN I.IDTIPOINQUER = '1' THEN PT.NMPRATO ELSE PR.NMPRODUTO END AS NMPRATPROD, "
               "I.CDMEDICASE AS CDMEDICASE, I.IDTIPOINQUER AS IDTIPOINQUER, I.DTINIINQU AS DTINIINQU, "
               "I.DTFININQU AS DTFININQU, I.QTALIMINQUER AS QTALIMINQUER, I.DTINQUERITO AS DTINQUERITO, "
               "I.QTALIMMEDCAS AS QTALIMMEDCAS, I.CDFILIAL AS CDFILIAL, I.CDSERVFILI AS CDSERVFILI, "
               "I.CDFILAUXPRAT AS CDFILAUXPRAT, I.NRSEQUINQUER AS NRSEQUINQUER, I.HRSERVINQ AS HRSERVINQ, "
               "MC.NMMEDICASE AS NMMEDICASE, "
               "CASE WHEN I.IDTIPOINQUER = '1' THEN PT.SGUNIDADE ELSE PR.SGUNIDADE END AS SGUNIDADE, "
               "CASE WHEN I.IDTIPOINQUER = '1' THEN I.CDPRATO ELSE I.CDPRODUTO END AS CDPRATPRODAUX, "
               "CASE WHEN " +
           restrictions::itemInteracts("XPROD", "I.CDPRODUTO", "I.CDPRATO") +
           " THEN 'S' ELSE 'N' END AS IDVERMEDICA "
           "FROM ITINQUERPACI I "
           "LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO "
           "LEFT JOIN PRATO PT ON PT.CDPRATO = I.CDPRATO "
           "LEFT JOIN MEDICASE MC ON MC.CDMEDICASE = I.CDMEDICASE "
           "WHERE " +
           dayCondition("I.") + (dishesOnly ? " AND I.IDTIPOINQUER = '1'" : "") +
           " ORDER BY CAST(I.NRSEQUINQUER AS INTEGER)";
}

void getItems(CallContext& ctx, bool dishesOnly) {
    const SurveyDay d = surveyDayArgs(ctx.args);
    db::Params params = dayParams(d);
    params.push_back({"P_DTDIA", d.dia.toString()});
    static const std::string all = itemQuery(false);
    static const std::string dishes = itemQuery(true);
    ctx.replyQuery(dishesOnly ? dishes : all, params, itemFields());
}

void getSeqInquer(CallContext& ctx) {
    // Its own argument order: branch, patient, start, end, service, day.
    SurveyDay d;
    d.period.filial = ctx.args.text(0, width::Filial);
    d.period.paciente = ctx.args.text(1, width::Paciente);
    d.period.inicio = ctx.args.date(2);
    ctx.args.date(3);
    d.servico = ctx.args.text(4, width::Servico);
    d.dia = ctx.args.date(5);
    protocol::DataPacket packet;
    packet.fields = {{"NRSEQUINQUER", FieldType::String, 3}};
    packet.rows.push_back({std::to_string(highestSequence(ctx, d.period, d.servico, d.dia))});
    ctx.reply(packet);
}

void getPesqProd(CallContext& ctx) {
    const SurveyDay d = surveyDayArgs(ctx.args);
    db::Params params = dayParams(d);
    params.push_back({"P_CDPRODUTO", ctx.args.text(6, width::Produto)});
    ctx.reply(db::query(ctx.session,
                        std::string("SELECT I.CDPRODUTO AS CDPRODUTO FROM ITINQUERPACI I WHERE ") + dayCondition("I.") +
                            " AND I.CDPRODUTO = :P_CDPRODUTO",
                        params, {{"CDPRODUTO", FieldType::String, 10}}));
}

void getPesqPrato(CallContext& ctx) {
    const SurveyDay d = surveyDayArgs(ctx.args);
    db::Params params = dayParams(d);
    params.push_back({"P_CDPRATO", ctx.args.text(6, width::Prato)});
    // The dish code alone identifies a dish; its owner branch is only checked for size.
    ctx.args.text(7, width::FilAuxPrat);
    ctx.reply(db::query(ctx.session,
                        std::string("SELECT I.CDPRATO AS CDPRATO FROM ITINQUERPACI I WHERE ") + dayCondition("I.") +
                            " AND I.CDPRATO = :P_CDPRATO",
                        params, {{"CDPRATO", FieldType::String, 10}}));
}

// ---- writing ----------------------------------------------------------------

// Where an item sits: its day of service and its number.
struct ItemKey {
    PeriodKey period;
    std::string servico;
    Date dia;
    std::string sequencia;  // as sent; empty on an insert means "the next one"
};

ItemKey itemKey(const PacketRow& row) {
    ItemKey k;
    auto filial = row.text("CDFILIAL", width::Filial);
    auto paciente = row.text("CDPACIENTE", width::Paciente);
    auto inicio = row.date("DTINIINQU");
    auto servico = row.text("CDSERVFILI", width::Servico);
    auto dia = row.date("DTINQUERITO");
    if (!filial || filial->empty()) throw OperationError("Filial deve ser informada.");
    if (!paciente || paciente->empty()) throw OperationError("Paciente deve ser informado.");
    if (!inicio) throw OperationError("Período de inquérito deve ser informado.");
    if (!servico || servico->empty()) throw OperationError("Serviço deve ser informado.");
    if (!dia) throw OperationError("Data do inquérito deve ser informada.");
    k.period = {*filial, *paciente, *inicio};
    k.servico = *servico;
    k.dia = *dia;
    k.sequencia = row.text("NRSEQUINQUER", width::Sequencia).value_or("");
    if (!k.sequencia.empty() && !parseSequence(k.sequencia))
        throw ArgumentError("Número de sequência do item inválido: " + k.sequencia + ".");
    return k;
}

// What an item holds, as the client sends it.
struct ItemContent {
    std::string tipo;
    std::string codigo;  // tree code of a product, dish code of a dish
    std::string medicase;
    std::optional<double> porcoes;
    std::optional<double> total;
    std::string hora;
};

ItemContent itemContent(const PacketRow& row) {
    ItemContent c;
    c.tipo = row.text("IDTIPOINQUER", width::Tipo).value_or("");
    c.codigo = row.text("CDPRATPROD", width::PratProd).value_or("");
    c.medicase = row.text("CDMEDICASE", width::Medicase).value_or("");
    c.porcoes = row.number("QTALIMMEDCAS");
    c.total = row.number("QTALIMINQUER");
    c.hora = row.text("HRSERVINQ", width::Hora).value_or("");
    return c;
}

struct ItemChange {
    ChangeKind kind;
    std::optional<ItemKey> oldKey, newKey;
    std::optional<ItemContent> oldContent, newContent;
};

// The item's catalogue codes, once checked against the catalogue.
struct ResolvedItem {
    std::optional<std::string> produto, prato, filAuxPrat;
    Date fim;
};

// What the catalogue says about one service, code and measure, read in one
// statement.
struct CatalogueFacts {
    bool service = false;
    std::optional<std::string> produto;  // product: internal code; dish: the dish code
    bool leaf = false;                   // product only
    std::optional<std::string> owner;    // dish only: its owner branch
    bool measure = false;
};

// The catalogue facts of one service, code and measure as one row; the
// service's branch is bound as `branchParam`.
std::string catalogueSql(bool dish, const std::string& branchParam) {
    const std::string service = "(SELECT 'S' FROM SERVICO WHERE CDFILIAL = :" + branchParam +
                                " AND CDSERVFILI = :P_CDSERVFILI) AS IDSERVICO, ";
    if (dish)
        return "SELECT " + service + "P.CDPRATO AS CDPRODUTO, P.CDFILAUXPRAT AS CDFILAUXPRAT, "
               "(SELECT 'S' FROM MEDIPRATO M WHERE M.CDPRATO = P.CDPRATO AND M.CDMEDICASE = :P_CDMEDICASE) AS IDMEDIDA "
               "FROM (SELECT 1 AS UM) U LEFT JOIN PRATO P ON P.CDPRATO = :P_CODIGO";
    return "SELECT " + service + "P.CDPRODUTO AS CDPRODUTO, CASE WHEN P.CDNVPRODUTO = " +
           restrictions::productLeafLevel() +
           " THEN 'S' ELSE 'N' END AS IDFOLHA, "
           "(SELECT 'S' FROM PRODMECA M WHERE M.CDPRODUTO = P.CDPRODUTO AND M.CDMEDICASE = :P_CDMEDICASE) AS IDMEDIDA "
           "FROM (SELECT 1 AS UM) U LEFT JOIN PRODUTO P ON P.CDARVPROD = :P_CODIGO";
}

const std::vector<Field>& catalogueFields() {
    static const std::vector<Field> fields = {{"IDSERVICO", FieldType::String, 1},
                                              {"CDPRODUTO", FieldType::String, 10},
                                              {"IDFOLHA", FieldType::String, 1},
                                              {"CDFILAUXPRAT", FieldType::String, 4},
                                              {"IDMEDIDA", FieldType::String, 1}};
    return fields;
}

// The facts from a row of catalogueFields(), starting at column `at`.
CatalogueFacts catalogueFacts(const protocol::Row& r, size_t at) {
    auto text = [&](size_t i) {
        return r[at + i].is_string() ? std::optional<std::string>(r[at + i].get<std::string>()) : std::nullopt;
    };
    CatalogueFacts f;
    f.service = text(0) == "S";
    f.produto = text(1);
    f.leaf = text(2) == "S";
    f.owner = text(3);
    f.measure = text(4) == "S";
    return f;
}

CatalogueFacts readCatalogue(CallContext& ctx, const std::string& filial, const std::string& servico,
                             const ItemContent& c) {
    static const std::string productSql = catalogueSql(false, "P_CDFILIAL");
    static const std::string dishSql = catalogueSql(true, "P_CDFILIAL");
    const auto row = db::query(ctx.session, c.tipo == "1" ? dishSql : productSql,
                               {{"P_CDFILIAL", filial},
                                {"P_CDSERVFILI", servico},
                                {"P_CDMEDICASE", c.medicase},
                                {"P_CODIGO", c.codigo}},
                               catalogueFields());
    if (row.rows.empty()) return {};
    return catalogueFacts(row.rows[0], 0);
}

// Facts one packet is checked against, read once per packet rather than per
// row: the ends of its periods (read with the period rows locked) and the
// catalogue facts of each service, code and measure it names.
struct PacketFacts {
    std::map<PeriodKey, std::optional<Date>> periodEnds;
    std::map<std::tuple<std::string, std::string, std::string, std::string, std::string>, CatalogueFacts> catalogue;

    const CatalogueFacts& of(CallContext& ctx, const std::string& filial, const std::string& servico,
                             const ItemContent& c) {
        const auto key = std::make_tuple(filial, servico, c.tipo, c.codigo, c.medicase);
        auto it = catalogue.find(key);
        if (it == catalogue.end()) it = catalogue.emplace(key, readCatalogue(ctx, filial, servico, c)).first;
        return it->second;
    }

    // Locks and reads a period; with `first`, an item of that period, its
    // catalogue facts come in the same statement.
    void lockPeriod(CallContext& ctx, const PeriodKey& period, const ItemKey* firstKey, const ItemContent* first) {
        if (!first || (first->tipo != "0" && first->tipo != "1")) {
            periodEnds[period] = periodEnd(ctx, period, true);
            return;
        }
        const bool dish = first->tipo == "1";
        const bool pg = ctx.engine == db::Engine::PostgreSQL;
        auto sqlOf = [](bool ofDish, bool lock) {
            return "SELECT X.DTFININQU AS DTFININQU, C.* FROM INQUERPACI X CROSS JOIN (" +
                   catalogueSql(ofDish, "P_SVFILIAL") +
                   ") C WHERE X.CDFILIAL = :P_CDFILIAL AND X.CDPACIENTE = :P_CDPACIENTE AND X.DTINIINQU = :P_DTINIINQU" +
                   (lock ? " FOR UPDATE OF X" : "");
        };
        static const std::string sql[2][2] = {{sqlOf(false, false), sqlOf(false, true)},
                                              {sqlOf(true, false), sqlOf(true, true)}};
        static const std::vector<Field> fields = [] {
            std::vector<Field> f = {{"DTFININQU", FieldType::Date, 0}};
            for (const auto& c : catalogueFields()) f.push_back(c);
            return f;
        }();
        const auto rows = db::query(ctx.session, sql[dish ? 1 : 0][pg ? 1 : 0],
                                    {{"P_SVFILIAL", period.filial},
                                     {"P_CDSERVFILI", firstKey->servico},
                                     {"P_CDMEDICASE", first->medicase},
                                     {"P_CODIGO", first->codigo},
                                     {"P_CDFILIAL", period.filial},
                                     {"P_CDPACIENTE", period.paciente},
                                     {"P_DTINIINQU", period.inicio.toString()}},
                                    fields);
        if (rows.rows.empty()) {
            periodEnds[period] = std::nullopt;
            return;
        }
        const auto& r = rows.rows[0];
        periodEnds[period] = r[0].is_string() ? Date::parse(r[0].get<std::string>()) : std::nullopt;
        catalogue.emplace(std::make_tuple(period.filial, firstKey->servico, first->tipo, first->codigo, first->medicase),
                          catalogueFacts(r, 1));
    }
};

void checkValues(const ItemContent& c) {
    if (c.tipo != "0" && c.tipo != "1") throw OperationError("Tipo deve ser informado ou não existente.");
    if (c.codigo.empty())
        throw OperationError(c.tipo == "1" ? "Prato deve ser informado." : "Produto deve ser informado.");
    if (c.medicase.empty()) throw OperationError("Medida de porcionamento deve ser informada.");
    if (!c.porcoes) throw OperationError("Quantidade deve ser informada.");
    if (!(*c.porcoes > 0)) throw OperationError("Quantidade deve ser maior que 0.");
    if (!c.total) throw OperationError("Quantidade total deve ser informada.");
    if (!(*c.total >= 0)) throw OperationError("Quantidade total não pode ser negativa.");
    if (!isValidMealTime(c.hora)) throw OperationError("Horário do serviço inválido: " + c.hora + ".");
}

ResolvedItem resolve(CallContext& ctx, PacketFacts& facts, const ItemKey& key, const ItemContent& c) {
    checkValues(c);
    ResolvedItem r;
    const std::optional<Date>& end = facts.periodEnds.at(key.period);
    if (!end) throw OperationError("Período de inquérito não cadastrado.");
    if (key.dia < key.period.inicio || key.dia > *end)
        throw OperationError("Data do inquérito deve estar dentro do período de inquérito.");
    r.fim = *end;
    const CatalogueFacts& f = facts.of(ctx, key.period.filial, key.servico, c);
    if (!f.service) throw OperationError("Serviço não cadastrado para a filial.");
    if (c.tipo == "1") {
        // A dish must be the branch's own or common to all; its owner comes from the catalogue.
        if (!f.owner) throw OperationError("Prato não cadastrado.");
        if (*f.owner != key.period.filial && *f.owner != "P") throw OperationError("Prato não cadastrado para a filial.");
        if (!f.measure) throw OperationError("Medida de porcionamento não cadastrada para o prato informado.");
        r.prato = c.codigo;
        r.filAuxPrat = f.owner;
    } else {
        // A product is named by its tree code and must be a leaf of the tree.
        if (!f.produto) throw OperationError("Produto não cadastrado.");
        if (!f.leaf) throw OperationError("Produto deve ser do último nível da árvore de produtos.");
        if (!f.measure) throw OperationError("Medida não cadastrada para o produto informado.");
        r.produto = f.produto;
    }
    return r;
}

bool sequenceTaken(CallContext& ctx, const ItemKey& key, int number) {
    db::Params params = dayParams(key.period, key.servico, key.dia);
    params.push_back({"P_NRSEQUINQUER", std::to_string(number)});
    return db::scalarText(ctx.session,
                          std::string("SELECT I.NRSEQUINQUER AS NRSEQUINQUER FROM ITINQUERPACI I WHERE ") +
                              dayCondition("I.") +
                              " AND CAST(I.NRSEQUINQUER AS INTEGER) = CAST(:P_NRSEQUINQUER AS INTEGER)",
                          params)
        .has_value();
}

bool sameSlot(const ItemKey& a, const ItemKey& b) {
    return a.period == b.period && a.servico == b.servico && a.dia == b.dia &&
           parseSequence(a.sequencia) == parseSequence(b.sequencia);
}

// The number the item is stored under: the one asked for, unless another item
// holds it (a concurrent client took it), then the next free one.
std::string targetSequence(CallContext& ctx, const ItemKey& key, const ItemKey* old) {
    if (const auto asked = parseSequence(key.sequencia)) {
        if ((old && sameSlot(key, *old)) || !sequenceTaken(ctx, key, *asked)) return sequenceText(*asked);
    }
    const int next = highestSequence(ctx, key.period, key.servico, key.dia) + 1;
    if (next > MaxSequence) throw OperationError("Limite de 999 itens por dia e serviço atingido.");
    return sequenceText(next);
}

db::Params newParams(const ItemKey& key, const ItemContent& c, const ResolvedItem& r, const std::string& seq) {
    return {{"N_CDFILIAL", key.period.filial},
            {"N_CDPACIENTE", key.period.paciente},
            {"N_DTINIINQU", key.period.inicio.toString()},
            {"N_DTFININQU", r.fim.toString()},
            {"N_CDSERVFILI", key.servico},
            {"N_DTINQUERITO", key.dia.toString()},
            {"N_NRSEQUINQUER", seq},
            {"N_IDTIPOINQUER", c.tipo},
            {"N_CDPRODUTO", r.produto},
            {"N_CDPRATO", r.prato},
            {"N_CDFILAUXPRAT", r.filAuxPrat},
            {"N_CDMEDICASE", c.medicase},
            db::numberParam("N_QTALIMMEDCAS", c.porcoes),
            db::numberParam("N_QTALIMINQUER", c.total),
            {"N_HRSERVINQ", c.hora.empty() ? std::nullopt : std::optional<std::string>(c.hora)}};
}

// The stored item must still be what the client last read: same key, type,
// code, measure and portions.
const char* const OldItemCondition =
    "CDFILIAL = :O_CDFILIAL AND CDPACIENTE = :O_CDPACIENTE AND DTINIINQU = :O_DTINIINQU "
    "AND CDSERVFILI = :O_CDSERVFILI AND DTINQUERITO = :O_DTINQUERITO AND NRSEQUINQUER = :O_NRSEQUINQUER "
    "AND IDTIPOINQUER = :O_IDTIPOINQUER AND CDMEDICASE = :O_CDMEDICASE "
    "AND ABS(QTALIMMEDCAS - CAST(:O_QTALIMMEDCAS AS DOUBLE PRECISION)) <= 0.000001 * (1 + ABS(QTALIMMEDCAS)) "
    "AND ((IDTIPOINQUER = '1' AND CDPRATO = :O_CDPRATO) "
    "OR (IDTIPOINQUER = '0' AND CDPRODUTO IN (SELECT CDPRODUTO FROM PRODUTO WHERE CDARVPROD = :O_CDARVPROD)))";

db::Params oldParams(const ItemKey& key, const ItemContent& c) {
    auto orNull = [](const std::string& s) { return s.empty() ? std::nullopt : std::optional<std::string>(s); };
    return {{"O_CDFILIAL", key.period.filial},
            {"O_CDPACIENTE", key.period.paciente},
            {"O_DTINIINQU", key.period.inicio.toString()},
            {"O_CDSERVFILI", key.servico},
            {"O_DTINQUERITO", key.dia.toString()},
            {"O_NRSEQUINQUER", key.sequencia},
            {"O_IDTIPOINQUER", orNull(c.tipo)},
            {"O_CDMEDICASE", orNull(c.medicase)},
            db::numberParam("O_QTALIMMEDCAS", c.porcoes),
            {"O_CDPRATO", orNull(c.codigo)},
            {"O_CDARVPROD", orNull(c.codigo)}};
}

const char* const ItemChanged = "Item do inquérito não encontrado ou alterado por outro usuário.";

// An item's keys in the audit trail.
protocol::json auditKey(const ItemKey& key, const std::string& sequencia) {
    return {{"DTINIINQU", key.period.inicio.toString()},
            {"CDSERVFILI", key.servico},
            {"DTINQUERITO", key.dia.toString()},
            {"NRSEQUINQUER", sequencia}};
}

// Answers the number the item was stored under: the one asked for unless
// another item holds it, else the highest in use + 1, chosen by the insert
// itself. The period row is locked, so no writer takes it meanwhile.
std::string insertItem(CallContext& ctx, PacketFacts& facts, const ItemKey& key, const ItemContent& c) {
    const ResolvedItem r = resolve(ctx, facts, key, c);
    static const std::string sql =
        "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
        "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, CDMEDICASE, QTALIMMEDCAS, "
        "QTALIMINQUER, HRSERVINQ) SELECT :N_CDFILIAL, :N_CDPACIENTE, :N_DTINIINQU, :N_DTFININQU, "
        ":N_CDSERVFILI, :N_DTINQUERITO, "
        "CASE WHEN S.N < 10 THEN '00' WHEN S.N < 100 THEN '0' ELSE '' END || CAST(S.N AS VARCHAR(3)), "
        ":N_IDTIPOINQUER, :N_CDPRODUTO, :N_CDPRATO, :N_CDFILAUXPRAT, :N_CDMEDICASE, :N_QTALIMMEDCAS, "
        ":N_QTALIMINQUER, :N_HRSERVINQ FROM ("
        "SELECT CASE WHEN CAST(:S_PEDIDO AS INTEGER) > 0 AND COALESCE(SUM(CASE WHEN CAST(I.NRSEQUINQUER AS INTEGER) "
        "= CAST(:S_OCUPADO AS INTEGER) THEN 1 ELSE 0 END), 0) = 0 THEN CAST(:S_ESCOLHIDO AS INTEGER) "
        "ELSE COALESCE(MAX(CAST(I.NRSEQUINQUER AS INTEGER)), 0) + 1 END AS N FROM ITINQUERPACI I WHERE " +
        dayCondition("I.") + ") S WHERE S.N <= " + std::to_string(MaxSequence) + " RETURNING NRSEQUINQUER";
    db::Params params = dayParams(key.period, key.servico, key.dia);
    const auto asked = parseSequence(key.sequencia);
    const std::optional<std::string> askedText = asked ? std::optional<std::string>(std::to_string(*asked)) : std::nullopt;
    for (const char* name : {"S_PEDIDO", "S_OCUPADO", "S_ESCOLHIDO"}) params.push_back({name, askedText});
    for (auto& p : newParams(key, c, r, {}))
        if (p.name != "N_NRSEQUINQUER") params.push_back(std::move(p));
    const auto stored = db::scalarText(ctx.session, sql, params);
    if (!stored) throw OperationError("Limite de 999 itens por dia e serviço atingido.");
    return *stored;
}

// Answers the number the item is stored under now.
std::string updateItem(CallContext& ctx, PacketFacts& facts, const ItemKey& oldKey, const ItemContent& oldContent,
                       const ItemKey& key, const ItemContent& c) {
    if (oldKey.sequencia.empty()) throw ArgumentError("Número de sequência do item deve ser informado.");
    const ResolvedItem r = resolve(ctx, facts, key, c);
    const std::string seq = targetSequence(ctx, key, &oldKey);
    db::Params params = newParams(key, c, r, seq);
    for (auto& p : oldParams(oldKey, oldContent)) params.push_back(std::move(p));
    const long long changed = db::execute(
        ctx.session,
        std::string("UPDATE ITINQUERPACI SET CDFILIAL = :N_CDFILIAL, CDPACIENTE = :N_CDPACIENTE, "
                    "DTINIINQU = :N_DTINIINQU, DTFININQU = :N_DTFININQU, CDSERVFILI = :N_CDSERVFILI, "
                    "DTINQUERITO = :N_DTINQUERITO, NRSEQUINQUER = :N_NRSEQUINQUER, IDTIPOINQUER = :N_IDTIPOINQUER, "
                    "CDPRODUTO = :N_CDPRODUTO, CDPRATO = :N_CDPRATO, CDFILAUXPRAT = :N_CDFILAUXPRAT, "
                    "CDMEDICASE = :N_CDMEDICASE, QTALIMMEDCAS = :N_QTALIMMEDCAS, QTALIMINQUER = :N_QTALIMINQUER, "
                    "HRSERVINQ = :N_HRSERVINQ WHERE ") +
            OldItemCondition,
        params);
    if (changed != 1) throw OperationError(ItemChanged);
    return seq;
}

void deleteItem(CallContext& ctx, const ItemKey& key, const ItemContent& c) {
    if (key.sequencia.empty()) throw ArgumentError("Número de sequência do item deve ser informado.");
    const long long deleted =
        db::execute(ctx.session, std::string("DELETE FROM ITINQUERPACI WHERE ") + OldItemCondition, oldParams(key, c));
    if (deleted != 1) throw OperationError(ItemChanged);
}

void setItemPrato(CallContext& ctx) {
    const protocol::ChangePacket packet = ctx.args.changes(0);
    requireFields(packet, {"CDFILIAL", "CDPACIENTE", "DTINIINQU", "CDSERVFILI", "DTINQUERITO", "NRSEQUINQUER",
                           "IDTIPOINQUER", "CDPRATPROD", "CDMEDICASE", "QTALIMMEDCAS", "QTALIMINQUER"});

    // Everything the packet says is read and checked before the database is touched.
    std::vector<ItemChange> changes;
    std::set<PeriodKey> periods;
    for (const auto& change : packet.changes) {
        ItemChange c{change.kind, {}, {}, {}, {}};
        if (change.kind != ChangeKind::Insert) {
            const PacketRow row(packet, change.oldValues);
            c.oldKey = itemKey(row);
            c.oldContent = itemContent(row);
            periods.insert(c.oldKey->period);
        }
        if (change.kind != ChangeKind::Delete) {
            const PacketRow row(packet, change.newValues);
            c.newKey = itemKey(row);
            c.newContent = itemContent(row);
            periods.insert(c.newKey->period);
        }
        changes.push_back(std::move(c));
    }

    // The reply: where each inserted or updated item was stored, in the packet's order.
    protocol::DataPacket stored;
    stored.fields = protocol::item::storedKeyFields();
    PacketFacts facts;
    auto answer = [&](const ItemKey& key, const std::string& seq) {
        const Date end = *facts.periodEnds.at(key.period);  // resolved, so the period exists
        stored.rows.push_back({key.period.filial, key.period.paciente, key.period.inicio.toString(), end.toString(),
                               key.servico, key.dia.toString(), seq});
    };

    WriteScope write(ctx);
    // Locked in key order, so two packets never wait on each other crosswise.
    // The first item's catalogue facts come with its period's lock.
    const ItemChange* first = nullptr;
    for (const auto& c : changes)
        if (c.newKey) {
            first = &c;
            break;
        }
    for (const auto& period : periods) {
        const bool withFirst = first && first->newKey->period == period;
        facts.lockPeriod(ctx, period, withFirst ? &*first->newKey : nullptr, withFirst ? &*first->newContent : nullptr);
    }
    for (const auto& c : changes) {
        switch (c.kind) {
            case ChangeKind::Insert: {
                const std::string seq = insertItem(ctx, facts, *c.newKey, *c.newContent);
                answer(*c.newKey, seq);
                write.audit(c.newKey->period.filial, c.newKey->period.paciente, AuditAction::Insert,
                            auditKey(*c.newKey, seq));
                break;
            }
            case ChangeKind::Update: {
                const std::string seq = updateItem(ctx, facts, *c.oldKey, *c.oldContent, *c.newKey, *c.newContent);
                answer(*c.newKey, seq);
                auto keys = auditKey(*c.newKey, seq);
                if (!sameSlot(*c.oldKey, *c.newKey) || c.oldKey->sequencia != seq)
                    keys["ANTERIOR"] = auditKey(*c.oldKey, c.oldKey->sequencia);
                write.audit(c.newKey->period.filial, c.newKey->period.paciente, AuditAction::Update, keys);
                break;
            }
            case ChangeKind::Delete:
                deleteItem(ctx, *c.oldKey, *c.oldContent);
                write.audit(c.oldKey->period.filial, c.oldKey->period.paciente, AuditAction::Delete,
                            auditKey(*c.oldKey, c.oldKey->sequencia));
                break;
        }
    }
    ctx.reply(stored);
    write.commit();
}

}  // namespace

void registerItems(Dispatcher& d) {
    d.add(Object, "GetItemProd", 6, [](CallContext& ctx) { getItems(ctx, false); }, BranchRule::argument(1));
    d.add(Object, "GetItemPrato", 6, [](CallContext& ctx) { getItems(ctx, true); }, BranchRule::argument(1));
    d.add(Object, "SetItemPrato", 1, setItemPrato, BranchRule::packetRows(0));
    d.add(Object, "GetSeqInquer", 6, getSeqInquer, BranchRule::argument(0));
    d.add(Object, "GetPesqProd", 7, getPesqProd, BranchRule::argument(1));
    d.add(Object, "GetPesqPrato", 8, getPesqPrato, BranchRule::argument(1));
}

}  // namespace server::inquerito
