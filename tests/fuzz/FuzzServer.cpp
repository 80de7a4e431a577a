// Structure-aware fuzzing of every operation of the application server.
//
// Each round takes a valid call of one operation (tests/server/ValidCalls.h),
// mutates it (arguments replaced, dropped or added, change packets reshaped,
// values of every JSON type, deep nesting, long and odd texts, other method
// names and ids, missing or foreign sessions, request ids reused; now and
// then the bytes themselves) and sends it to the dispatcher of a running
// server, or as a raw HTTP request with mangled framing. After every error
// reply the survey data (periods, items, meal times, audit, remembered
// requests) must be exactly as before; every reply must be a JSON-RPC reply
// carrying the request's id; the server must stay healthy. Built with
// -fsanitize=address,undefined in the test command, any memory error, leak
// or undefined behaviour ends the run with a report.
//
//   fuzz_server [--engine sqlite|postgresql] [--seed N] [--iterations N] [--seconds N]
//
// The test command runs a fixed seed for a short budget; see the README for
// the long mode.
#include "RawHttp.h"
#include "ServerFixture.h"
#include "ValidCalls.h"

#include "db/Password.h"
#include "db/Query.h"
#include "protocol/Json.h"
#include "protocol/Rpc.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

using protocol::json;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    db::Engine engine = db::Engine::SQLite;
    unsigned seed = 1;
    long iterations = 2000;
    long seconds = 0;  // 0: no time budget
};

// The transport answers or closes within its deadlines; a call itself may
// take long on a loaded machine.
constexpr int ReplyWaitMs = 60000;

class Fuzzer {
public:
    Fuzzer(testsupport::RunningServer& server, soci::session& sql, unsigned seed)
        : server_(server), sql_(sql), random_(seed), calls_(validcalls::all()) {
        protocol::RpcClient other("127.0.0.1", server.port());
        other.setToken("");
        other.login("NUTRI1", "nutri1", "0002");
        otherToken_ = other.token();
        protocol::rememberSessionToken("127.0.0.1:" + std::to_string(server.port()), server.token());
        baseline_ = snapshot();
    }

    // One round; answers false on a finding (already reported).
    bool round(long n) {
        const auto& seed = calls_[pick(calls_.size())];
        json request = {{"jsonrpc", "2.0"}, {"id", static_cast<long long>(n)}, {"method", seed.method},
                        {"params", seed.params}};
        const int mutations = 1 + static_cast<int>(pick(3));
        for (int m = 0; m < mutations; ++m) mutateRequest(request);
        std::string body = request.dump(-1, ' ', false, json::error_handler_t::replace);
        if (chance(8)) mutateBytes(body);

        server::RequestMeta meta;
        meta.address = "10.0.0." + std::to_string(pick(250));
        meta.token = chance(12) ? "" : chance(12) ? otherToken_ : chance(30) ? randomText(64) : server_.token();
        if (chance(4)) meta.requestId = chance(3) && !lastRequestId_.empty() ? lastRequestId_ : protocol::newRequestId();
        if (chance(50)) meta.requestId = randomText(70);
        lastRequestId_ = meta.requestId;

        std::vector<std::string> replies;
        if (chance(10))
            replies = overHttp(body, meta);
        else
            replies.push_back(server_.dispatcher().handle(body, server_.pool(), meta).body);
        return check(body, meta.token, replies);
    }

    long findings() const { return findings_; }
    long successes() const { return successes_; }
    // Findings by kind: "bypass", "changed" (data changed after an error
    // reply), "reply" (not a JSON-RPC reply, or the id lost), "stall".
    long findings(const std::string& kind) const {
        const auto it = byKind_.find(kind);
        return it == byKind_.end() ? 0 : it->second;
    }

private:
    size_t pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(random_) : 0; }
    bool chance(int oneIn) { return pick(static_cast<size_t>(oneIn)) == 0; }

    std::string randomText(size_t maxLength) {
        static const std::vector<std::string> pieces = {
            "0", "1", "9", "0001", "0002", "000000000001", "ZN0001", "T", "_", "_00001_", " ", "", "'", "\"", "\\",
            "%", "%27", "--", ";", "ã", "Ç", "\xF0\x9F\x8D\x8E", "\xC3", "\xFF", "\n", "\t", "2026-11-30", "2026-02-30",
            "9999-12-31", "0000-00-00", "-1", "1e308", "NaN", "P", "01001", "0102006", "00015", "2359", "2400", "null",
            "DROP TABLE ITINQUERPACI", "P_CDFILIAL=0001", "&", "="};
        std::string out;
        const size_t parts = pick(maxLength / 2 + 2);
        for (size_t i = 0; i < parts && out.size() < maxLength; ++i) out += pieces[pick(pieces.size())];
        if (chance(20)) out.append(pick(20000), 'x');
        return out;
    }

    json nested(int depth) {
        json v = chance(2) ? json("x") : json(1);
        for (int i = 0; i < depth; ++i) v = chance(2) ? json::array({v}) : json{{"k", v}};
        return v;
    }

    json randomValue(int depth = 0) {
        switch (pick(depth > 2 ? 8 : 11)) {
            case 0: return nullptr;
            case 1: return chance(2);
            case 2: return static_cast<long long>(pick(2000)) - 1000;
            case 3: return std::vector<double>{0.0, -0.0, 1e308, -1e308, 1e-308, 0.5, 999999999999.0}[pick(7)];
            case 4: return std::numeric_limits<long long>::min() + static_cast<long long>(pick(3));
            case 5:
            case 6:
            case 7: return randomText(40);
            case 8: {
                json a = json::array();
                for (size_t i = pick(5); i > 0; --i) a.push_back(randomValue(depth + 1));
                return a;
            }
            case 9: {
                json o = json::object();
                for (size_t i = pick(4); i > 0; --i) o[randomText(8)] = randomValue(depth + 1);
                return o;
            }
            default: return nested(static_cast<int>(pick(3) ? pick(80) : 70 + pick(200)));
        }
    }

    // A change packet, reshaped.
    void mutatePacket(json& packet) {
        if (!packet.is_object()) return;
        json& fields = packet["fields"];
        json& changes = packet["changes"];
        switch (pick(10)) {
            case 0:
                if (fields.is_array() && !fields.empty()) fields.erase(pick(fields.size()));
                break;
            case 1:
                if (fields.is_array() && !fields.empty()) {
                    // An earlier mutation may have left any value there.
                    json& f = fields[pick(fields.size())];
                    if (f.is_object()) f[std::vector<const char*>{"name", "type", "size"}[pick(3)]] = randomValue(2);
                }
                break;
            case 2:
                if (changes.is_array() && !changes.empty()) {
                    json& c = changes[pick(changes.size())];
                    if (c.is_object())
                        c["kind"] = std::vector<json>{"insert", "update", "delete", "merge", 1, nullptr}[pick(6)];
                }
                break;
            case 3:
            case 4:
            case 5:
                if (changes.is_array() && !changes.empty()) {
                    json& c = changes[pick(changes.size())];
                    for (const char* side : {"new", "old"})
                        if (c.contains(side) && c[side].is_array() && !c[side].empty() && chance(2))
                            c[side][pick(c[side].size())] = chance(3) ? randomValue(1) : json(randomText(12));
                }
                break;
            case 6:
                if (changes.is_array() && !changes.empty()) {
                    json& c = changes[pick(changes.size())];
                    if (c.contains("new") && !c.contains("old")) c["old"] = c["new"];
                    else if (c.contains("old")) c.erase("old");
                }
                break;
            case 7:
                if (changes.is_array() && !changes.empty()) {
                    const json copy = changes[pick(changes.size())];
                    for (size_t i = chance(10) ? 1500 : pick(4) + 1; i > 0; --i) changes.push_back(copy);
                }
                break;
            case 8:
                packet[std::vector<const char*>{"fields", "changes", "extra"}[pick(3)]] = randomValue(1);
                break;
            default:
                if (changes.is_array() && !changes.empty()) {
                    json& c = changes[pick(changes.size())];
                    for (const char* side : {"new", "old"})
                        if (c.contains(side) && c[side].is_array()) c[side].push_back(randomValue(1));
                }
        }
    }

    void mutateRequest(json& request) {
        json& params = request["params"];
        switch (pick(14)) {
            case 0:
            case 1:
            case 2:
            case 3:
                if (params.is_array() && !params.empty()) {
                    json& p = params[pick(params.size())];
                    if (p.is_object()) mutatePacket(p);
                    else p = chance(2) ? json(randomText(16)) : randomValue();
                }
                break;
            case 4:
                if (params.is_array() && !params.empty()) {
                    json& p = params[pick(params.size())];
                    if (p.is_string()) {
                        std::string s = p;
                        s = chance(2) ? s + s : s.substr(0, pick(s.size() + 1));
                        p = s;
                    }
                }
                break;
            case 5:
                if (params.is_array() && !params.empty()) params.erase(pick(params.size()));
                break;
            case 6:
                if (params.is_array()) params.push_back(randomValue());
                break;
            case 7: params = randomValue(); break;
            case 8: request["method"] = calls_[pick(calls_.size())].method; break;
            case 9: request["method"] = chance(2) ? randomValue(1) : json(randomText(30)); break;
            case 10: request["id"] = randomValue(1); break;
            case 11: request["jsonrpc"] = chance(2) ? json("1.0") : randomValue(2); break;
            case 12: request.erase(std::vector<const char*>{"id", "method", "params", "jsonrpc"}[pick(4)]); break;
            default:
                if (params.is_array())
                    for (auto& p : params)
                        if (p.is_object()) mutatePacket(p);
        }
    }

    void mutateBytes(std::string& body) {
        for (size_t i = pick(4) + 1; i > 0 && !body.empty(); --i) {
            const size_t at = pick(body.size());
            switch (pick(4)) {
                case 0: body[at] = static_cast<char>(pick(256)); break;
                case 1: body.erase(at, pick(8) + 1); break;
                case 2: body.insert(at, std::string(pick(4) + 1, "[{\"\\,:"[pick(6)])); break;
                default: body.resize(at); break;
            }
        }
    }

    // The same body as an HTTP request with mangled framing; the JSON bodies
    // of the replies the transport let through (none when it refused).
    std::vector<std::string> overHttp(const std::string& body, const server::RequestMeta& meta) {
        std::string headers;
        if (!meta.token.empty()) headers += "Authorization: Bearer " + meta.token + "\r\n";
        if (!meta.requestId.empty()) headers += "Idempotency-Key: " + meta.requestId + "\r\n";
        static const std::vector<std::string> extra = {
            "Range: bytes=-5\r\n", "Content-Encoding: gzip\r\n", "Expect: 100-continue\r\n", "Connection: close\r\n",
            "X-Junk: " + std::string(pick(3) ? 10 : 20000, 'j') + "\r\n", "Transfer-Encoding: gzip\r\n",
            "Accept-Encoding: gzip\r\n", "Origin: http://evil.example\r\n"};
        if (chance(3)) headers += extra[pick(extra.size())];
        const std::string type = chance(6) ? "text/plain" : "application/json";
        std::string request;
        if (chance(4)) {
            request = "POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: " + type + "\r\n" + headers +
                      "Transfer-Encoding: chunked\r\n\r\n";
            for (size_t at = 0; at < body.size();) {
                const size_t n = std::min(body.size() - at, pick(200) + 1);
                char size[16];
                std::snprintf(size, sizeof size, "%zx\r\n", n);
                request += size + body.substr(at, n) + "\r\n";
                at += n;
            }
            request += "0\r\n\r\n";
        } else {
            request = testsupport::RawHttp::post(body, headers, type);
        }
        const int copies = chance(10) ? 2 : 1;  // pipelined twice
        if (copies == 2) request += request;
        testsupport::RawHttp c(server_.port());
        c.send(request);
        // Every reply is waited for whole: a call still running when the
        // harness moves on would change the data under the next round's check.
        std::string reply = c.receiveReplies(ReplyWaitMs, copies);
        if (!c.closed() && testsupport::RawHttp::wholeReplies(reply) < copies)
            report("no whole reply and no close within " + std::to_string(ReplyWaitMs / 1000) + " s", body, reply,
                   "stall");
        // Every final reply, in order; interim ones (100 Continue) skipped.
        std::vector<std::string> bodies;
        while (!reply.empty()) {
            const auto headerEnd = reply.find("\r\n\r\n");
            if (reply.rfind("HTTP/1.1 ", 0) != 0 || headerEnd == std::string::npos) {
                report("a reply that is not HTTP", body, reply);
                break;
            }
            const std::string head = reply.substr(0, headerEnd);
            size_t length = 0;
            if (const auto at = head.find("Content-Length: "); at != std::string::npos)
                length = std::stoul(head.substr(at + 16));
            if (head.rfind("HTTP/1.1 200 ", 0) == 0) bodies.push_back(reply.substr(headerEnd + 4, length));
            reply.erase(0, std::min(reply.size(), headerEnd + 4 + length));
        }
        return bodies;
    }

    std::string snapshot() {
        std::string text;
        for (const char* table : {"INQUERPACI", "HORAINQPACI", "ITINQUERPACI", "AUDITORIA", "REQUISICAO"}) {
            const auto p = db::query(sql_, std::string("SELECT * FROM ") + table +
                                              (std::string(table) == "AUDITORIA" ? " WHERE IDACAO <> 'C'" : ""),
                                          {});  // reads are recorded too, in batches
            std::vector<std::string> rows;
            for (const auto& row : p.rows) rows.push_back(json(row).dump());
            std::sort(rows.begin(), rows.end());
            text += table;
            for (const auto& r : rows) text += "\n" + r;
        }
        return db::sha256Hex(text);
    }

    void report(const std::string& what, const std::string& body, const std::string& reply,
                const std::string& kind = "reply") {
        ++findings_;
        ++byKind_[kind];
        std::fprintf(stderr, "FINDING: %s\n  request: %.2000s\n  reply: %.2000s\n", what.c_str(), body.c_str(),
                     reply.c_str());
    }

    // A successful reply the caller's session does not allow: none at all
    // without a valid session; NUTRI1 (branch 0002 only) naming another branch.
    void checkAllowed(const json& sent, const std::string& token, const std::string& body, const std::string& reply) {
        if (!sent.is_object() || !sent.contains("method") || !sent["method"].is_string()) return;
        const auto rule = server_.dispatcher().ruleOf(sent["method"].get<std::string>());
        using Kind = server::BranchRule::Kind;
        if (rule.kind == Kind::Public) return;
        if (token != server_.token() && token != otherToken_) {
            report("a reply without a valid session", body, reply, "bypass");
            return;
        }
        if (token != otherToken_ || rule.kind != Kind::Argument || !sent.contains("params")) return;
        const json& params = sent["params"];
        const auto at = static_cast<size_t>(rule.branchArgument);
        if (params.is_array() && at < params.size() && params[at].is_string() && params[at] != "0002")
            report("a reply on a branch the operator may not use", body, reply, "bypass");
    }

    // No reply at all means the transport refused the request.
    bool check(const std::string& body, const std::string& token, const std::vector<std::string>& replies) {
        const long before = findings_;
        bool ok = false;
        auto sent = protocol::parseJson(body);
        for (const auto& reply : replies) {
            auto parsed = protocol::parseJson(reply);
            if (!parsed || !parsed->is_object() || parsed->contains("result") == parsed->contains("error")) {
                report("not a JSON-RPC reply", body, reply);
                continue;
            }
            if (parsed->contains("result")) {
                ok = true;
                if (sent) checkAllowed(*sent, token, body, reply);
            }
            // The id comes back when the request had a readable one; a body
            // over the size limit is refused unread, its id unknown.
            const bool unread = body.size() > protocol::MaxRequestBytes && (*parsed)["id"].is_null();
            if (sent && sent->is_object() && sent->contains("id") && !unread) {
                const json& id = (*sent)["id"];
                if ((id.is_string() || id.is_number() || id.is_null()) && (*parsed)["id"] != id)
                    report("the reply lost the request's id", body, reply);
            }
        }
        const std::string after = snapshot();
        if (!ok && after != baseline_)
            report("an error reply, but the data changed", body, replies.empty() ? "(refused)" : replies.front(),
                   "changed");
        if (ok) ++successes_;
        baseline_ = after;
        return findings_ == before;
    }

    testsupport::RunningServer& server_;
    soci::session& sql_;
    std::mt19937_64 random_;
    std::vector<validcalls::ValidCall> calls_;
    std::string otherToken_;
    std::string lastRequestId_;
    std::string baseline_;
    long findings_ = 0;
    long successes_ = 0;
    std::map<std::string, long> byKind_;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--engine") o.engine = v == "postgresql" ? db::Engine::PostgreSQL : db::Engine::SQLite;
        else if (a == "--seed") o.seed = static_cast<unsigned>(std::stoul(v));
        else if (a == "--iterations") o.iterations = std::stol(v);
        else if (a == "--seconds") o.seconds = std::stol(v);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    std::string why;
    if (!testsupport::TestDatabase::available(options.engine, &why)) {
        std::fprintf(stderr, "fuzz_server: %s\n", why.c_str());
        return std::getenv("CI") ? 1 : 77;
    }
    auto database = testsupport::TestDatabase::create(options.engine);
    long findings = 0, successes = 0, rounds = 0, bypasses = 0, changed = 0, badReplies = 0, stalls = 0;
    {
        server::ServerOptions serverOptions;
        serverOptions.threads = 2;
        serverOptions.headerSeconds = 2;
        serverOptions.bodySeconds = 2;
        testsupport::RunningServer server(database->url(), serverOptions);
        auto sql = db::openSession(database->url());
        Fuzzer fuzzer(server, *sql, options.seed);
        const auto start = Clock::now();
        for (; rounds < options.iterations || options.seconds > 0; ++rounds) {
            if (options.seconds > 0 && Clock::now() - start > std::chrono::seconds(options.seconds)) break;
            fuzzer.round(rounds);
            if (rounds % 200 == 0) {
                protocol::RpcClient probe("127.0.0.1", server.port(), 5);
                if (!probe.healthy()) {
                    std::fprintf(stderr, "FINDING: the server stopped answering /health after %ld rounds\n", rounds);
                    return 1;
                }
            }
        }
        findings = fuzzer.findings();
        successes = fuzzer.successes();
        bypasses = fuzzer.findings("bypass");
        changed = fuzzer.findings("changed");
        badReplies = fuzzer.findings("reply");
        stalls = fuzzer.findings("stall");
    }
    // One line, read by scripts/fuzz-nightly.sh.
    std::printf("fuzz_server: %s, seed %u: %ld calls (%ld successful), %ld findings "
                "(%ld bypasses, %ld data changed after an error, %ld bad replies, %ld stalls)\n",
                options.engine == db::Engine::SQLite ? "SQLite" : "PostgreSQL", options.seed, rounds, successes,
                findings, bypasses, changed, badReplies, stalls);
    return findings == 0 ? 0 : 1;
}
