#pragma once
#include "db/Database.h"
#include "protocol/Rpc.h"
#include "server/Dispatcher.h"

#include <memory>
#include <string>
#include <vector>

namespace server {

// Transport settings and bounds. Connections are served asynchronously on one
// I/O thread; only complete requests reach the worker threads, so a slow or
// idle client never holds a worker.
struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8211;  // 0: any free port
    size_t threads = 16;  // workers running calls; the session pool needs one more for /health
    bool log = true;
    int keepAliveSeconds = 5;   // an idle kept-alive connection is closed after this
    int headerSeconds = 5;      // request line and headers must arrive within this
    int bodySeconds = 15;       // the body within this, once the headers are in
    int writeSeconds = 30;      // the client must take the reply within this
    size_t maxConnections = 512;            // open connections in all
    size_t maxConnectionsPerAddress = 64;   // from one client address
    size_t maxHeaderBytes = 16 * 1024;
    size_t maxBodyBytes = protocol::MaxRequestBytes;  // after chunked decoding
    std::string tlsCertFile;  // PEM certificate chain; with tlsKeyFile: https only
    std::string tlsKeyFile;   // PEM private key
    // Proxies (addresses or networks) whose X-Forwarded-For names the caller
    // (see TrustedProxies.h); none by default.
    std::vector<std::string> trustedProxies;
};

// POST /rpc answers the calls; GET /health answers 200 while the database
// does. See the README ("Limits") for the rules of the transport.
class HttpServer {
public:
    HttpServer(db::SessionPool& pool, const Dispatcher& dispatcher, ServerOptions options);
    ~HttpServer();

    // Binds the socket; answers the port actually bound. Throws when the
    // address cannot be used (among others, a port already in use).
    int bind();
    void run();  // blocks until stop()
    // Stops a running server (from any thread); calls under way finish first.
    void stop();
    // Connections open now (for tests).
    size_t openConnections() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace server
