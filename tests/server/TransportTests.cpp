// The transport's rules, each against the fault it prevents: cross-site
// posts, replies cut after a write, pipelined requests, deep JSON, bodies
// past the limit, slow and idle clients, a port already in use, TLS.
#include "InqueritoTestSupport.h"
#include "RawHttp.h"
#include "ValidCalls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

using namespace inqtest;
using testsupport::RawHttp;
using Clock = std::chrono::steady_clock;

namespace {

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string lower(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string statusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

std::string rpc(const std::string& method, const json& params, int id = 1) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
}

}  // namespace

class Transport : public testsupport::ServerTest {
protected:
    std::string bearer() { return "Authorization: Bearer " + server_->token() + "\r\n"; }
    long long periods() { return countOf(sql(), "SELECT COUNT(*) FROM INQUERPACI"); }
    // A write that would add a period.
    std::string newPeriod() {
        return rpc(op("SetInqPaci"), json::array({validcalls::periodPacket("insert", "000000000003", "2027-01-10", "2027-01-12")}));
    }
    std::string exchange(const std::string& request, int timeoutMs = 3000) {
        RawHttp c(server_->port());
        EXPECT_TRUE(c.send(request));
        return c.receive(timeoutMs, "}");
    }
};

// What a web page can send cross-site without a preflight never reaches an operation.
TEST_P(Transport, OnlyJsonIsAcceptedAndNoCorsHeaderIsSent) {
    const long long before = periods();
    for (const char* type : {"text/plain", "text/plain; charset=utf-8", "application/x-www-form-urlencoded",
                             "multipart/form-data; boundary=x", "application/jsonp", ""}) {
        const std::string reply = exchange(RawHttp::post(newPeriod(), bearer(), type));
        EXPECT_EQ(statusLine(reply), "HTTP/1.1 415 Unsupported Media Type") << type;
        EXPECT_NE(reply.find("Content-Type: application/json"), std::string::npos) << type;
    }
    EXPECT_EQ(periods(), before);

    const std::string ok = exchange(RawHttp::post(newPeriod(), bearer(), "Application/JSON; charset=UTF-8"));
    EXPECT_EQ(statusLine(ok), "HTTP/1.1 200 OK");
    EXPECT_EQ(periods(), before + 1);
    const std::string preflight =
        exchange("OPTIONS /rpc HTTP/1.1\r\nHost: x\r\nOrigin: http://evil.example\r\n"
                 "Access-Control-Request-Method: POST\r\n\r\n");
    EXPECT_EQ(statusLine(preflight), "HTTP/1.1 405 Method Not Allowed");
    for (const std::string& reply : {ok, preflight})
        EXPECT_EQ(lower(reply).find("access-control-"), std::string::npos) << reply;
}

// cpp-httplib ran the operation and then cut the reply to the range: the write
// was stored while the client saw an error.
TEST_P(Transport, RangeAndFramingHeadersAreRefusedBeforeTheOperationRuns) {
    const long long before = periods();
    for (const char* header : {"Range: bytes=-5\r\n", "Range: bytes=0-0\r\n", "If-Range: x\r\n",
                               "Content-Range: bytes 0-10/20\r\n"}) {
        const std::string reply = exchange(RawHttp::post(newPeriod(), bearer() + header));
        EXPECT_EQ(statusLine(reply), "HTTP/1.1 400 Bad Request") << header;
    }
    EXPECT_EQ(periods(), before);
}

TEST_P(Transport, PipelinedRequestsAreEachAnswered) {
    RawHttp c(server_->port());
    std::string three;
    for (int id = 1; id <= 3; ++id) three += RawHttp::post(rpc(op("GetMax"), {Paciente}, id), bearer());
    ASSERT_TRUE(c.send(three));
    const std::string replies = c.receive(3000, "HTTP/1.1 200 OK", 3);
    EXPECT_EQ(RawHttp::occurrences(replies, "HTTP/1.1 200 OK"), 3) << replies;
    for (int id = 1; id <= 3; ++id)
        EXPECT_NE(replies.find("\"id\":" + std::to_string(id)), std::string::npos) << replies;
}

TEST_P(Transport, TheIdIsKeptWhenTheRequestIsRefused) {
    const json reply = json::parse(client_->post(R"({"jsonrpc":"2.0","id":"abc","method":"X.Y.Z","params":{"a":1}})"));
    EXPECT_EQ(reply["id"], "abc");
    EXPECT_EQ(reply["error"]["code"], protocol::rpc_error::InvalidParams);
    const json bad = json::parse(client_->post(R"({"jsonrpc":"2.0","id":{"x":1},"method":"X.Y.Z"})"));
    EXPECT_EQ(bad["error"]["code"], protocol::rpc_error::InvalidRequest);
}

// 100,000 levels of nesting in the id, the params or a packet overflowed a
// worker's stack.
TEST_P(Transport, DeeplyNestedJsonIsRefusedAndTheServerStaysUp) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    for (const std::string& body :
         {R"({"jsonrpc":"2.0","id":)" + deep + R"(,"method":"Zep12600.rdmInquerito.GetMax","params":["1"]})",
          R"({"jsonrpc":"2.0","id":1,"method":"Zep12600.rdmInquerito.GetMax","params":)" + deep + "}",
          R"({"jsonrpc":"2.0","id":1,"method":"Zep12600.rdmInquerito.SetInqPaci","params":[{"fields":[],"changes":)" +
              deep + "}]}",
          std::string(100000, '{')}) {
        const json reply = json::parse(client_->post(body));
        ASSERT_TRUE(reply.contains("error"));
        EXPECT_TRUE(reply["error"]["code"] == protocol::rpc_error::LimitExceeded ||
                    reply["error"]["code"] == protocol::rpc_error::ParseError)
            << reply.dump();
    }
    EXPECT_TRUE(client_->healthy());
    EXPECT_NO_THROW(call(op("GetMax"), {Paciente}));
}

TEST_P(Transport, BodiesPastTheLimitAreRefusedAsSoonAsTheyPassIt) {
    // A huge Content-Length: refused on the headers, before any body byte.
    {
        RawHttp c(server_->port());
        const auto start = Clock::now();
        c.send("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n" + bearer() +
               "Content-Length: 1073741824\r\n\r\n");
        EXPECT_EQ(statusLine(c.receive(3000, "}")), "HTTP/1.1 413 Payload Too Large");
        EXPECT_LT(msSince(start), 1000);
    }
    // A chunked body: refused once the decoded bytes pass the limit, not at its end.
    {
        RawHttp c(server_->port());
        c.send("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n" + bearer() +
               "Transfer-Encoding: chunked\r\n\r\n");
        const std::string chunk(64 * 1024, ' ');
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        size_t sent = 0;
        while (sent < 64u * 1024 * 1024 && c.send(size + chunk + "\r\n")) sent += chunk.size();
        EXPECT_LT(sent, 16u * 1024 * 1024);
        EXPECT_EQ(statusLine(c.receive(3000, "}")), "HTTP/1.1 413 Payload Too Large");
    }
    // Compressed bodies are never inflated; other transfer codings are refused.
    for (const char* headers : {"Content-Encoding: gzip\r\n", "Content-Encoding: deflate\r\n"}) {
        const std::string reply = exchange(RawHttp::post("{}", bearer() + headers));
        EXPECT_EQ(statusLine(reply), "HTTP/1.1 415 Unsupported Media Type") << headers;
    }
    const std::string reply = exchange("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n" + bearer() +
                                       "Transfer-Encoding: gzip, chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n");
    EXPECT_EQ(statusLine(reply), "HTTP/1.1 415 Unsupported Media Type");
}

// Requests whose framing makes no sense get an answer at once instead of
// waiting out a timeout.
TEST_P(Transport, MalformedFramingIsAnsweredAtOnce) {
    for (const std::string& request :
         {std::string("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: -5\r\n\r\n"),
          std::string("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 5\r\n"
                      "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n"),
          std::string("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                      "Content-Length: 3\r\n\r\n{}"),
          std::string("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                      "Content-Length: 99999999999999999999999\r\n\r\n"),
          std::string("GARBAGE\r\n\r\n")}) {
        const auto start = Clock::now();
        RawHttp c(server_->port());
        c.send(request);
        const std::string reply = c.receive(4000, "}");
        EXPECT_TRUE(statusLine(reply).starts_with("HTTP/1.1 4")) << request << "\n" << reply;
        EXPECT_LT(msSince(start), 1500) << request;
    }
    // Without a Content-Length a POST has an empty body: a prompt JSON-RPC error.
    const auto start = Clock::now();
    const std::string reply =
        exchange("POST /rpc HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n" + bearer() + "\r\n");
    EXPECT_EQ(statusLine(reply), "HTTP/1.1 200 OK");
    EXPECT_NE(reply.find(std::to_string(protocol::rpc_error::ParseError)), std::string::npos);
    EXPECT_LT(msSince(start), 1500);
}

// 16 connections trickling one header byte at a time held every worker of
// cpp-httplib; here they hold none, and are closed at the header deadline.
TEST_P(Transport, SlowClientsHoldNoWorkerAndAreCutAtTheDeadline) {
    server::ServerOptions options;
    options.threads = 2;
    options.headerSeconds = 1;
    options.bodySeconds = 1;
    testsupport::RunningServer small(db_->url(), options);
    std::vector<std::unique_ptr<RawHttp>> slow;
    for (int i = 0; i < 16; ++i) {
        slow.push_back(std::make_unique<RawHttp>(small.port()));
        slow.back()->send("POST /rpc HTTP/1.1\r\nHo");
    }
    // A body that never comes.
    slow.push_back(std::make_unique<RawHttp>(small.port()));
    slow.back()->send(RawHttp::post(std::string(100, ' ')).substr(0, 120));
    auto c = small.client();
    const auto start = Clock::now();
    for (int i = 0; i < 10; ++i) c->call(op("GetMax"), {Paciente});
    EXPECT_LT(msSince(start), 1000);
    const auto cut = Clock::now();
    for (auto& s : slow) {
        s->send("s");  // still trickling
        EXPECT_TRUE(s->closedWithin(2500));
    }
    EXPECT_LT(msSince(cut), 2500);
}

// 1,000 idle connections blocked new clients for 47 s: past the cap the
// oldest idle connection makes room, and memory stays bounded by the cap.
TEST_P(Transport, IdleConnectionsPastTheCapMakeRoomForNewClients) {
    server::ServerOptions options;
    options.threads = 2;
    options.maxConnections = 50;
    options.maxConnectionsPerAddress = 50;
    options.keepAliveSeconds = 30;
    options.headerSeconds = 30;
    testsupport::RunningServer small(db_->url(), options);
    std::vector<std::unique_ptr<RawHttp>> idle;
    for (int i = 0; i < 300; ++i) idle.push_back(std::make_unique<RawHttp>(small.port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(small.http().openConnections(), 50u);
    auto c = small.client();
    const auto start = Clock::now();
    EXPECT_NO_THROW(c->call(op("GetMax"), {Paciente}));
    EXPECT_TRUE(c->healthy());
    EXPECT_LT(msSince(start), 1000);
    EXPECT_LE(small.http().openConnections(), 50u);
}

// Every worker busy with a long call: new connections and /health still answer.
// A worker sends a reply itself only as far as the socket takes it at once:
// a large reply read slowly is finished by the I/O thread, whole, and the
// only worker serves others meanwhile; pipelined replies keep their order.
TEST_P(Transport, ALargeReplyReadSlowlyArrivesWholeAndHoldsNoWorker) {
    server::ServerOptions options;
    options.threads = 1;
    testsupport::RunningServer small(db_->url(), options);
    // Refused with its (unknown) name quoted: a reply of some megabytes, then a small one.
    const std::string name(3 * 1024 * 1024, 'x');
    RawHttp slow(small.port());
    ASSERT_TRUE(slow.send(RawHttp::post(rpc(name, json::array(), 1)) + RawHttp::post(rpc("Outra", json::array(), 2))));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // not read yet
    auto c = small.client();
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) c->call(op("GetMax"), {Paciente});
    EXPECT_LT(msSince(start), 2000);
    // Each error reply closes two braces.
    const std::string replies = slow.receive(15000, "}", 4);
    ASSERT_EQ(RawHttp::occurrences(replies, "HTTP/1.1 200 OK"), 2) << replies.substr(0, 300);
    const size_t second = replies.find("HTTP/1.1 200 OK", 1);
    EXPECT_EQ(RawHttp::occurrences(replies.substr(0, second), std::string(1024, 'x')), name.size() / 1024);
    EXPECT_NE(replies.find("Outra", second), std::string::npos);
}

TEST_P(Transport, HealthAnswersWhileEveryWorkerIsBusy) {
    server::ServerOptions options;
    options.threads = 2;
    testsupport::RunningServer small(db_->url(), options);
    // Writers queue behind a lock the test holds.
    auto locker = db::openSession(db_->url());
    *locker << (GetParam() == db::Engine::SQLite ? "BEGIN IMMEDIATE" : "BEGIN");
    if (GetParam() == db::Engine::PostgreSQL) *locker << "LOCK TABLE INQUERPACI IN EXCLUSIVE MODE";
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i)
        writers.emplace_back([&, i] {
            auto w = small.client();
            try {
                w->call(op("SetHoraItem"), {Paciente, Filial, "00002", Inicio, Fim, "2026-12-0" + std::to_string(i + 2),
                                            "0945"});
            } catch (const std::exception&) {
            }
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto c = small.client();
    const auto start = Clock::now();
    EXPECT_TRUE(c->healthy());
    EXPECT_LT(msSince(start), 1000);
    *locker << "ROLLBACK";
    for (auto& w : writers) w.join();
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM HORAINQPACI WHERE HRSERVINQ = '0945'"), 4);
}

TEST_P(Transport, ASecondServerOnAPortInUseRefusesToStart) {
    server::Dispatcher d;
    db::SessionPool pool(db_->url(), 1);
    server::ServerOptions options;
    options.port = server_->port();
    server::HttpServer second(pool, d, options);
    try {
        second.bind();
        ADD_FAILURE() << "a second server bound a port in use";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("já está em uso"), std::string::npos) << e.what();
    }
}

INQUERITO_ENGINES(Transport);

// ---- TLS ---------------------------------------------------------------------

namespace {

// A self-signed certificate for 127.0.0.1, its own authority.
void makeCertificate(const std::string& certFile, const std::string& keyFile) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (const auto& [nid, value] : std::vector<std::pair<int, const char*>>{
             {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"}, {NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509_sign(cert, key, EVP_sha256());
    FILE* f = std::fopen(certFile.c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
    f = std::fopen(keyFile.c_str(), "w");
    PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    X509_free(cert);
    EVP_PKEY_free(key);
}

}  // namespace

TEST(TransportTls, CallsTravelOverHttpsOnly) {
    auto database = testsupport::TestDatabase::create(db::Engine::SQLite);
    const auto dir = std::filesystem::temp_directory_path() / ("inquerito-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
    makeCertificate(cert, key);
    server::ServerOptions options;
    options.threads = 2;
    options.tlsCertFile = cert;
    options.tlsKeyFile = key;
    testsupport::RunningServer tls(database->url(), options);  // logs in over https

    protocol::RpcClient secure(protocol::ServerEndpoint{"127.0.0.1", tls.port(), true, cert});
    EXPECT_EQ(secure.call(op("GetInqPaci"), {Filial, Paciente}).data["rows"].size(), 1u);

    // Plain HTTP on the TLS port gets no reply; a client that does not trust
    // the certificate does not send the call.
    protocol::RpcClient plain("127.0.0.1", tls.port(), 3);
    EXPECT_THROW(plain.call(op("GetInqPaci"), {Filial, Paciente}), protocol::RpcFailure);
    protocol::RpcClient untrusting(protocol::ServerEndpoint{"127.0.0.1", tls.port(), true, {}}, 3);
    EXPECT_THROW(untrusting.call(op("GetInqPaci"), {Filial, Paciente}), protocol::RpcFailure);
    std::filesystem::remove_all(dir);
}
