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
        {"Zep12600.rdmInquerito.GetTotDia", {1, 0}},
        {"Zep12600.rdmInquerito.GetAlimRecentes", {1, 0}},
        {"Zep12600.rdmInquerito.GetNutrDia", {1, 0}},
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

bool ReadAudit::due() const {
    std::lock_guard lock(mutex_);
    return rows_.size() >= FlushRows ||
           (!rows_.empty() && std::chrono::steady_clock::now() - oldest_ >= FlushAge);
}

const ReadAudit::Insert& ReadAudit::insertFor(size_t rows) {
    // Only FlushRows and its quarters are asked for: a handful of texts, built once.
    auto& insert = inserts_[rows];
    if (!insert.sql.empty()) return insert;
    insert.sql =
        "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
        "DSENDERECO, CDREQUISICAO) VALUES ";
    for (size_t i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        for (const char* field : {"P_T", "P_O", "P_F", "P_P", "P_M", "P_K", "P_E", "P_R"})
            insert.names.push_back(field + n);
        // The branch, when the call named none, is the patient's own.
        insert.sql += (i ? ", (" : "(") + (":P_T" + n) + ", :P_O" + n + ", COALESCE(:P_F" + n +
                      ", (SELECT CDFILIAL FROM PACIENTE WHERE CDPACIENTE = :P_P" + n + "), ''), :P_P" + n +
                      ", :P_M" + n + ", 'C', :P_K" + n + ", :P_E" + n + ", :P_R" + n + ")";
    }
    return insert;
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
        auto optional = [](const std::string& s) {
            return s.empty() ? std::nullopt : std::optional<std::string>(s);
        };
        if (engine == db::Engine::PostgreSQL) {
            // One statement and one parameter for the whole batch, the rows as
            // a JSON array unpacked by the database: one round trip, one plan,
            // nothing bound per row.
            protocol::json rows = protocol::json::array();
            for (const Row& r : batch)
                rows.push_back({r.time, r.operatorCode, optional(r.branch) ? protocol::json(r.branch) : nullptr,
                                r.patient, r.method, r.keys, r.address.empty() ? protocol::json() : protocol::json(r.address),
                                r.requestId.empty() ? protocol::json() : protocol::json(r.requestId)});
            db::execute(session,
                        "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, "
                        "DSCHAVE, DSENDERECO, CDREQUISICAO) "
                        "SELECT r->>0, r->>1, COALESCE(r->>2, (SELECT CDFILIAL FROM PACIENTE WHERE CDPACIENTE = r->>3), "
                        "''), r->>3, r->>4, 'C', r->>5, r->>6, r->>7 FROM json_array_elements(CAST(:P_ROWS AS json)) AS t(r)",
                        {{"P_ROWS", rows.dump(-1, ' ', false, protocol::json::error_handler_t::replace)}});
            return;
        }
        // A full batch is one statement and its own transaction; a smaller or
        // larger one goes in chunks of a few fixed sizes, so the statements
        // stay few and prepared (see insertFor), within one transaction.
        std::vector<size_t> chunks;
        for (size_t left = batch.size(); left > 0;) {
            size_t n = FlushRows;
            while (n > left) n /= 4;
            chunks.push_back(n);
            left -= n;
        }
        std::optional<db::WriteTransaction> tx;
        if (chunks.size() > 1) tx.emplace(session, engine);
        size_t first = 0;
        for (const size_t n : chunks) {
            const Insert& insert = insertFor(n);
            db::Params params;
            params.reserve(n * 8);
            for (size_t i = 0; i < n; ++i) {
                const Row& r = batch[first + i];
                const std::string* names = &insert.names[i * 8];
                params.push_back({names[0], r.time});
                params.push_back({names[1], r.operatorCode});
                params.push_back({names[2], optional(r.branch)});
                params.push_back({names[3], r.patient});
                params.push_back({names[4], r.method});
                params.push_back({names[5], r.keys});
                params.push_back({names[6], optional(r.address)});
                params.push_back({names[7], optional(r.requestId)});
            }
            db::execute(session, insert.sql, params);
            first += n;
        }
        if (tx) tx->commit();
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
