#include "host/connection/NetConnection.h"

#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "protocol/RpcClient.h"

namespace hostfw {

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
    auto client = std::make_unique<protocol::RpcClient>(
        protocol::ServerEndpoint{Host.toStdString(), Port, Tls, CaFile.toStdString()});
    if (!client->healthy())
        throw EHostError(QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1:%2.")
                             .arg(Host)
                             .arg(Port));
    client_ = std::move(client);
}

RemoteResult TNetConnection::AppServer(const QString& operation, std::vector<NetArg> args) {
    RemoteResult r;
    if (!client_) {
        r.error = QStringLiteral("Não há conexão com o servidor de aplicação.");
        return r;
    }
    protocol::json params = protocol::json::array();
    for (const auto& a : args) params.push_back(a.value);
    // The host's login session, when it has one; else the token this process
    // holds for the server.
    if (const QString& token = session().sessionToken; !token.isEmpty())
        client_->setToken(token.toStdString());
    else
        client_->useRememberedToken();
    const std::string method = (ServerName + "." + operation).toStdString();
    // One id for the call and its repetition after a new login, so a write
    // the server already did is not done twice.
    const std::string requestId = protocol::newRequestId();
    try {
        // A reply lost on the way: sent once more with the same id.
        auto once = [&] {
            try {
                return client_->call(method, params, requestId);
            } catch (const protocol::RpcFailure& e) {
                if (e.code() != protocol::rpc_error::Transport) throw;
                return client_->call(method, params, requestId);
            }
        };
        auto send = [&] {
            try {
                return once();
            } catch (const protocol::RpcFailure& e) {
                const bool expired = e.code() == protocol::rpc_error::Unauthenticated &&
                                     std::string(e.what()).starts_with("Sessão expirada");
                if (!expired || !session().renewSession || !session().renewSession()) throw;
                client_->setToken(session().sessionToken.toStdString());
                return once();
            }
        };
        auto result = send();
        for (const auto& [pos, value] : result.byref)
            if (pos >= 0 && static_cast<size_t>(pos) < args.size() && args[pos].byRef && value.is_string())
                *args[pos].byRef = QString::fromStdString(value.get<std::string>());
        r.ok = true;
        r.data = std::move(result.data);
    } catch (const protocol::RpcFailure& e) {
        r.error = QString::fromStdString(e.what());
    } catch (const std::exception& e) {
        r.error = QString::fromStdString(e.what());
    }
    return r;
}

} // namespace hostfw
