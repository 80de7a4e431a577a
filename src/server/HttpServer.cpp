#include "server/HttpServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace server {

HttpServer::HttpServer(db::SessionPool& pool, const Dispatcher& dispatcher, ServerOptions options)
    : pool_(pool), dispatcher_(dispatcher), options_(std::move(options)), http_(std::make_unique<httplib::Server>()) {
    const size_t threads = options_.threads ? options_.threads : 1;
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http_->set_tcp_nodelay(true);
    http_->set_keep_alive_max_count(100000);
    http_->set_keep_alive_timeout(options_.keepAliveSeconds);
    http_->set_payload_max_length(32 * 1024 * 1024);

    http_->Post("/rpc", [this](const httplib::Request& req, httplib::Response& res) {
        const auto start = std::chrono::steady_clock::now();
        const auto outcome = dispatcher_.handle(req.body, pool_);
        res.set_content(outcome.body, "application/json; charset=utf-8");
        if (options_.log) {
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            std::fprintf(stderr, "rpc %s %.1f ms %s%s\n", outcome.method.empty() ? "-" : outcome.method.c_str(), ms,
                         outcome.ok ? "ok" : "error: ", outcome.ok ? "" : outcome.error.c_str());
        }
    });
    http_->Get("/health", [this](const httplib::Request&, httplib::Response& res) {
        try {
            auto session = pool_.acquire();
            int one = 0;
            *session << "SELECT 1", soci::into(one);
            res.set_content("ok\n", "text/plain");
        } catch (const std::exception& e) {
            res.status = 503;
            res.set_content(std::string("database unavailable: ") + e.what() + "\n", "text/plain");
        }
    });
}

HttpServer::~HttpServer() = default;

int HttpServer::bind() {
    int port = options_.port;
    if (port == 0) {
        port = http_->bind_to_any_port(options_.host);
    } else if (!http_->bind_to_port(options_.host, port)) {
        port = -1;
    }
    if (port < 0)
        throw std::runtime_error("Não foi possível abrir " + options_.host + ":" + std::to_string(options_.port));
    return port;
}

void HttpServer::run() {
    runRequested_ = true;
    if (stopRequested_) return;
    http_->listen_after_bind();
}

void HttpServer::stop() {
    stopRequested_ = true;
    for (int i = 0; i < 5000 && runRequested_ && !http_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    http_->stop();
}

} // namespace server
