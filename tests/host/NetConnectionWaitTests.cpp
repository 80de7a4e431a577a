// The connection to the application server as the user meets it: a slow
// call leaves the window painting, a stopped server gets one plain message.
#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <thread>

using namespace hostfw;

namespace {

// A server that answers /health at once and every call after a delay.
class DelayedServer {
public:
    explicit DelayedServer(int delayMs) {
        server_.Get("/health", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
        server_.Post("/rpc", [delayMs](const httplib::Request& req, httplib::Response& res) {
            const auto request = nlohmann::json::parse(req.body);
            const std::string method = request.value("method", "");
            if (method.find("Lenta") != std::string::npos)
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            nlohmann::json reply = {{"jsonrpc", "2.0"}, {"id", request["id"]}, {"result", {{"data", method}}}};
            res.set_content(reply.dump(), "application/json");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~DelayedServer() { stop(); }
    void stop() {
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }
    int port() const { return port_; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

std::unique_ptr<TNetConnection> connectionTo(int port) {
    auto net = std::make_unique<TNetConnection>(nullptr, "netInquerito");
    net->ServerName = "Zep12600.rdmInquerito";
    net->Host = "127.0.0.1";
    net->Port = port;
    return net;
}

}  // namespace

TEST(NetConnectionWait, ASlowCallLetsTheWindowRepaintAndAnswersAsBefore) {
    DelayedServer server(1500);
    auto net = connectionTo(server.port());
    net->Open();

    PaintCounter window;
    window.resize(200, 100);
    window.show();
    QApplication::processEvents();
    const int paintsBefore = window.paints;
    int ticks = 0;
    QString nested;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        window.update();
        // A call from inside the wait runs on a client of its own.
        if (ticks == 3) nested = QString::fromStdString(net->AppServer("Rapida", {}).data.get<std::string>());
    });
    timer.start();

    QElapsedTimer clock;
    clock.start();
    const RemoteResult r = net->AppServer("Lenta", {"x"});
    const qint64 elapsed = clock.elapsed();
    timer.stop();

    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.data, "Zep12600.rdmInquerito.Lenta");
    EXPECT_GE(elapsed, 1400);
    EXPECT_GE(ticks, 8) << "the GUI thread's timers ran during the call";
    EXPECT_GE(window.paints - paintsBefore, 5) << "the window repainted during the call";
    EXPECT_EQ(nested, "Zep12600.rdmInquerito.Rapida");

    // A quick call needs no event loop: nothing else runs meanwhile.
    ticks = 0;
    timer.start();
    EXPECT_TRUE(net->AppServer("Rapida", {}).ok);
    timer.stop();
    EXPECT_EQ(ticks, 0);
}

TEST(NetConnectionWait, AStoppedServerGetsOnePlainMessage) {
    auto server = std::make_unique<DelayedServer>(0);
    const int port = server->port();
    auto net = connectionTo(port);
    net->Open();
    server->stop();
    const QString expected = QStringLiteral(
                                 "O servidor de aplicação em 127.0.0.1:%1 não responde. "
                                 "Verifique se ele está em execução e tente novamente.")
                                 .arg(port);
    const RemoteResult r = net->AppServer("Rapida", {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, expected);
    try {
        Consiste::CheckResultServ(r);
        ADD_FAILURE() << "a failed call passed the check";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), expected);
    }

    // Opening a connection to it says the same.
    auto fresh = connectionTo(port);
    try {
        fresh->Open();
        ADD_FAILURE() << "opened a connection to a stopped server";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), expected);
    }
}
