#pragma once
#include "db/Database.h"
#include "server/Dispatcher.h"

#include <atomic>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace server {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8211;  // 0: any free port
    size_t threads = 16;
    bool log = true;
    // Each open connection holds a worker thread; idle desktop connections
    // are closed soon so that they do not starve new clients.
    int keepAliveSeconds = 5;
};

// POST /rpc answers the calls; GET /health answers 200 while the database does.
class HttpServer {
public:
    HttpServer(db::SessionPool& pool, const Dispatcher& dispatcher, ServerOptions options);
    ~HttpServer();

    // Binds the socket; answers the port actually bound. Throws on failure.
    int bind();
    void run();  // blocks until stop()
    // Stops a running server; a run() just started is waited for, or the
    // stop would come before the listening loop and be lost.
    void stop();

private:
    db::SessionPool& pool_;
    const Dispatcher& dispatcher_;
    ServerOptions options_;
    std::unique_ptr<httplib::Server> http_;
    std::atomic<bool> runRequested_{false};
    std::atomic<bool> stopRequested_{false};
};

} // namespace server
