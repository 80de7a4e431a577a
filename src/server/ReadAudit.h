#pragma once
// Reads of a patient's survey data in the audit trail (AUDITORIA, action C):
// one row per call (operation, operator, branch, patient, the call's
// arguments as keys, address, request id), not per row read.
//
// A row is queued when the read has succeeded and written in batches, one
// transaction for many rows, so a read pays no commit of its own: the queue is
// written by the call that finds it holding FlushRows rows or its oldest row
// older than FlushAge (through the server, once that call's reply is on its
// way), before the trail is queried, and when the server stops.
// A crash loses at most the reads queued since the last batch.
#include "server/Operation.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace server {

class ReadAudit {
public:
    static constexpr size_t FlushRows = 64;
    static constexpr auto FlushAge = std::chrono::milliseconds(1000);
    static constexpr size_t MaxQueued = 100000;

    // Queues the call when its operation reads a patient's survey data.
    void record(const CallContext& ctx);
    // Writes the queue when it is due (or always, with force) on an idle session.
    void flush(soci::session& session, db::Engine engine, bool force = false);
    size_t queued() const;
    // Whether a batch is due: FlushRows rows, or the oldest FlushAge old.
    bool due() const;
    // Off only to measure what recording costs (bench/ReadAuditBench.cpp).
    void setEnabled(bool on) { enabled_ = on; }

    // Which arguments of a read name the branch and the patient; nullopt for
    // an operation that reads no patient's data.
    struct Where {
        int branchArgument;  // -1: the patient's own branch
        int patientArgument;
    };
    static std::optional<Where> of(const std::string& method);

private:
    struct Row {
        std::string time, operatorCode, branch, patient, method, keys, address, requestId;
    };
    // The insert of `rows` rows and its parameters' names; under writing_.
    struct Insert {
        std::string sql;
        std::vector<std::string> names;
    };
    const Insert& insertFor(size_t rows);
    std::map<size_t, Insert> inserts_;
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    std::chrono::steady_clock::time_point oldest_{};
    std::mutex writing_;
    std::atomic<bool> enabled_{true};
};

} // namespace server
