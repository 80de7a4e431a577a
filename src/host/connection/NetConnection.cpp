#include "host/connection/NetConnection.h"

#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "protocol/RpcClient.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

#include <chrono>
#include <future>
#include <thread>

namespace hostfw {

namespace {

// A call that takes longer than this hands the GUI thread back to the event
// loop (repaints, timers; no user input) until it ends.
constexpr std::chrono::milliseconds kQuickCall{50};

// While a slow call runs, no window closes under the screen waiting for it.
class KeepWindowsOpen : public QObject {
public:
    KeepWindowsOpen() { qApp->installEventFilter(this); }
    ~KeepWindowsOpen() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close) return false;
        event->ignore();
        return true;
    }
};

// Runs the call on a thread of its own; the window keeps repainting while it
// waits. Whatever the call throws comes back here, on the caller's thread.
protocol::RpcResult callOffThread(protocol::RpcClient& client, const std::string& method,
                                  const protocol::json& params, const std::string& requestId) {
    if (!qApp || QThread::currentThread() != qApp->thread()) return client.callRetrying(method, params, requestId);
    QEventLoop loop;
    std::promise<protocol::RpcResult> result;
    std::future<protocol::RpcResult> done = result.get_future();
    std::jthread worker([&] {
        try {
            result.set_value(client.callRetrying(method, params, requestId));
        } catch (...) {
            result.set_exception(std::current_exception());
        }
        // The loop is woken only once the result is there: woken before, it
        // would find no result, wait again and never be woken.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (done.wait_for(kQuickCall) != std::future_status::ready) {
        KeepWindowsOpen keep;
        while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    worker.join();
    return done.get();
}

}  // namespace

QString serverDownMessage(const QString& address) {
    return QStringLiteral("O servidor de aplicação em %1 não responde. "
                          "Verifique se ele está em execução e tente novamente.")
        .arg(address);
}

NetArg::NetArg(const QDate& date) {
    value = date.isValid() ? protocol::json(date.toString(Qt::ISODate).toStdString()) : protocol::json(nullptr);
}

TNetConnection::TNetConnection(QObject* owner, const QString& name) : QObject(owner) {
    if (!name.isEmpty()) setObjectName(name);
}

TNetConnection::~TNetConnection() = default;

void TNetConnection::SetConnected(bool connected) {
    if (!connected) {
        client_.reset();
        return;
    }
    if (client_) return;
    Tls = session().serverTls;
    CaFile = session().serverCaFile;
    if (BeforeConnect) BeforeConnect(this);
    if (Host.isEmpty() || Port <= 0)
        throw EHostError(QStringLiteral("Endereço do servidor de aplicação não configurado."));
    if (Host == session().serverHost && Port == session().serverPort) Alternates = session().serverAlternates;
    std::vector<protocol::ServerEndpoint> endpoints{{Host.toStdString(), Port, Tls, CaFile.toStdString()}};
    for (const QString& address : Alternates) {
        const int colon = address.lastIndexOf(':');
        bool ok = false;
        const int port = colon > 0 ? address.mid(colon + 1).toInt(&ok) : 0;
        if (ok && port > 0 && port <= 65535)
            endpoints.push_back({address.left(colon).toStdString(), port, Tls, CaFile.toStdString()});
    }
    auto client = std::make_unique<protocol::RpcClient>(endpoints);
    if (!client->healthy())
        throw EHostError(serverDownMessage(QString::fromStdString(client->endpoint().key())));
    client_ = std::move(client);
}

RemoteResult TNetConnection::AppServer(const QString& operation, std::vector<NetArg> args) {
    RemoteResult r;
    if (!client_) {
        r.error = QStringLiteral("Não há conexão com o servidor de aplicação.");
        return r;
    }
    // A call made while another one waits on this connection (a timer that
    // fired during a slow call) gets a client of its own, with every address.
    std::unique_ptr<protocol::RpcClient> nested;
    if (calling_) nested = std::make_unique<protocol::RpcClient>(client_->endpointsFromCurrent());
    protocol::RpcClient& client = nested ? *nested : *client_;
    protocol::json params = protocol::json::array();
    for (const auto& a : args) params.push_back(a.value);
    // The host's login session, when it has one; else the token this process
    // holds for the server.
    if (const QString& token = session().sessionToken; !token.isEmpty())
        client.setToken(token.toStdString());
    else
        client.useRememberedToken();
    const std::string method = (ServerName + "." + operation).toStdString();
    const std::string address = client.endpoint().key();
    // One id for the call, its retries on the next address and its repetition
    // after a new login, so a write the server already did is not done twice.
    const std::string requestId = protocol::newRequestId();
    const bool outer = !calling_;
    calling_ = true;
    try {
        auto result = [&] {
            try {
                return callOffThread(client, method, params, requestId);
            } catch (const protocol::RpcFailure& e) {
                // The new login asks on the GUI thread, here, not on the call's thread.
                const bool expired = e.code() == protocol::rpc_error::Unauthenticated &&
                                     std::string(e.what()).starts_with("Sessão expirada");
                if (!expired || !session().renewSession || !session().renewSession()) throw;
                client.setToken(session().sessionToken.toStdString());
                return callOffThread(client, method, params, requestId);
            }
        }();
        for (const auto& [pos, value] : result.byref)
            if (pos >= 0 && static_cast<size_t>(pos) < args.size() && args[pos].byRef && value.is_string())
                *args[pos].byRef = QString::fromStdString(value.get<std::string>());
        r.ok = true;
        r.data = std::move(result.data);
    } catch (const protocol::RpcFailure& e) {
        r.error = e.code() == protocol::rpc_error::Transport ? serverDownMessage(QString::fromStdString(address))
                                                             : QString::fromStdString(e.what());
    } catch (const std::exception& e) {
        r.error = QString::fromStdString(e.what());
    }
    if (outer) calling_ = false;
    return r;
}

} // namespace hostfw
