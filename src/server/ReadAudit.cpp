#include "server/ReadAudit.h"

#include "db/Query.h"
#include "server/Sessions.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace server {

std::optional<ReadAudit::Where> ReadAudit::of(const std::string& method) {
    static const std::map<std::string, Where> reads = {
        {"Zep12600.rdmInquerito.GetPaciente", {0, 1}},
        {"Zep12600.rdmInquerito.GetInqPaci", {0, 1}},
        {"Zep12600.rdmInquerito.GetMax", {-1, 0}},
        {"Zep12600.rdmInquerito.GetItemProd", {1, 0}},
        {"Zep12600.rdmInquerito.GetItemPrato", {1, 0}},
        {"Zep12600.rdmInquerito.GetSeqInquer", {0, 1}},
        {"Zep12600.rdmInquerito.GetHoraItem", {1, 0}},
        {"Zep12600.rdmInquerito.GetProdutoRest", {1, 0}},
        {"Zep12600.rdmInquerito.GetPratoRest", {2, 0}},
        {"Zep12600.rdmInquerito.GetVerMedica", {1, 0}},
        {"Zep12600.rdmInquerito.GetVerMedicaPrato", {4, 0}},
        {"Zep12610.rdmCalcular.getMacro", {3, 0}},
        {"Zep12610.rdmCalcular.GetCalc", {3, 0}},
        {"Zep12610.rdmCalcular.GetNutrCalc", {3, 0}},
        {"Zep12610.rdmCalcular.GetDiasInq", {3, 0}},
        {"Zep12610.rdmCalcular.GetMacroDia", {3, 0}},
        {"Zep12640.rdmPlaInqNutr.GetInquNutr", {3, 2}},
    };
    const auto it = reads.find(method);
    if (it == reads.end()) return std::nullopt;
    return it->second;
}

namespace {

// At most `size` bytes, never cutting a UTF-8 sequence (the trail is sent back as JSON).
std::string cut(const std::string& text, size_t size) {
    if (text.size() <= size) return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    return text.substr(0, size);
}

}  // namespace

void ReadAudit::record(const CallContext& ctx) {
    const auto where = of(ctx.method);
    if (!where || !enabled_) return;
    auto text = [&](int i) -> std::string {
        if (i < 0 || static_cast<size_t>(i) >= ctx.args.size() || !ctx.args.raw(i).is_string()) return {};
        return cut(ctx.args.raw(i).get<std::string>(), 12);
    };
    Row row{timestampUtc(), ctx.caller.operatorCode, cut(text(where->branchArgument), 4),
            text(where->patientArgument), ctx.method,
            ctx.args.all().dump(-1, ' ', false, protocol::json::error_handler_t::replace),
            cut(ctx.caller.address, 64), ctx.requestId};
    if (row.keys.size() > 1000) row.keys = cut(row.keys, 997) + "...";
    std::lock_guard lock(mutex_);
    if (rows_.empty()) oldest_ = std::chrono::steady_clock::now();
    if (rows_.size() >= MaxQueued) {
        std::fprintf(stderr, "read audit: queue full, %zu reads not recorded\n", rows_.size());
        rows_.clear();
    }
    rows_.push_back(std::move(row));
}

size_t ReadAudit::queued() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
}

void ReadAudit::flush(soci::session& session, db::Engine engine, bool force) {
    // One writer at a time; when a batch is already being written, the others go on serving.
    std::unique_lock writing(writing_, std::defer_lock);
    if (force)
        writing.lock();
    else if (!writing.try_lock())
        return;
    std::vector<Row> batch;
    {
        std::lock_guard lock(mutex_);
        if (rows_.empty()) return;
        if (!force && rows_.size() < FlushRows && std::chrono::steady_clock::now() - oldest_ < FlushAge) return;
        batch.swap(rows_);
    }
    try {
        // One statement per chunk of the batch: few round trips, one commit.
        constexpr size_t Chunk = 128;
        auto optional = [](const std::string& s) {
            return s.empty() ? std::nullopt : std::optional<std::string>(s);
        };
        db::WriteTransaction tx(session, engine);
        for (size_t first = 0; first < batch.size(); first += Chunk) {
            std::string sql =
                "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
                "DSENDERECO, CDREQUISICAO) VALUES ";
            db::Params params;
            for (size_t i = first; i < std::min(batch.size(), first + Chunk); ++i) {
                const Row& r = batch[i];
                const std::string n = std::to_string(i - first);
                sql += (i > first ? ", (" : "(") + (":P_T" + n) + ", :P_O" + n + ", COALESCE(:P_F" + n +
                       ", (SELECT CDFILIAL FROM PACIENTE WHERE CDPACIENTE = :P_P" + n + "), ''), :P_P" + n +
                       ", :P_M" + n + ", 'C', :P_K" + n + ", :P_E" + n + ", :P_R" + n + ")";
                params.push_back({"P_T" + n, r.time});
                params.push_back({"P_O" + n, r.operatorCode});
                params.push_back({"P_F" + n, optional(r.branch)});
                params.push_back({"P_P" + n, r.patient});
                params.push_back({"P_M" + n, r.method});
                params.push_back({"P_K" + n, r.keys});
                params.push_back({"P_E" + n, optional(r.address)});
                params.push_back({"P_R" + n, optional(r.requestId)});
            }
            db::execute(session, sql, params);
        }
        tx.commit();
    } catch (const std::exception& e) {
        // Kept for the next batch (the database may be back by then).
        std::fprintf(stderr, "read audit: %zu reads not written yet: %s\n", batch.size(), e.what());
        std::lock_guard lock(mutex_);
        batch.insert(batch.end(), std::make_move_iterator(rows_.begin()), std::make_move_iterator(rows_.end()));
        rows_.swap(batch);
        oldest_ = std::chrono::steady_clock::now();
    }
}

} // namespace server
