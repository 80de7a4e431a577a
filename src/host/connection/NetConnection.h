#pragma once
// A screen's connection to one server object of the application server.
// Calls are synchronous, by operation name, with positional arguments; a
// by-reference argument gets the value the server sends back.
#include "host/core/HostExport.h"
#include "protocol/Packets.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace protocol {
class RpcClient;
}

namespace hostfw {

// One argument: a text, a date (sent as "YYYY-MM-DD"), a change packet (JSON),
// or a text variable passed by reference.
struct HOSTFW_EXPORT NetArg {
    protocol::json value;
    QString* byRef = nullptr;
    NetArg(const QString& text) : value(text.toStdString()) {}
    NetArg(const char* text) : value(std::string(text)) {}
    NetArg(const QDate& date);
    NetArg(const QDateTime& dateTime) : NetArg(dateTime.date()) {}
    NetArg(const protocol::json& json) : value(json) {}
    static NetArg ref(QString& variable) {
        NetArg a(variable);
        a.byRef = &variable;
        return a;
    }
};

// What the user is told when the application server at `address` ("HOST:PORT")
// cannot be reached: the address and what to do.
HOSTFW_EXPORT QString serverDownMessage(const QString& address);

// What a call answers, vetted later by Consiste::CheckResultServ.
struct RemoteResult {
    bool ok = false;
    QString error;
    protocol::json data;
};

class HOSTFW_EXPORT TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* owner, const QString& name = QString());
    ~TNetConnection() override;

    QString ServerName;       // "Zep12600.rdmInquerito"
    QString Host;
    int Port = 0;
    // https and the certificates to trust; taken from the host's session
    // values (serverTls, serverCaFile) when the connection opens.
    bool Tls = false;
    QString CaFile;
    // Further addresses of the same server ("HOST:PORT") a call fails over
    // to; taken from the session values (serverAlternates) when the
    // connection opens on the session's server.
    QStringList Alternates;
    bool ThrowException = false;
    std::function<void(TNetConnection*)> BeforeConnect;

    void SetConnected(bool connected);
    bool Connected() const { return client_ != nullptr; }
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Calls ServerName.operation. Transport and server failures come back in
    // the result (not thrown); by-reference variables are written back.
    // A slow call runs off the GUI thread: the windows repaint meanwhile, user
    // input waits until it ends; the caller still gets the answer in return.
    // Every call carries the host's session token and a request id of its
    // own; a call whose reply is lost is sent again with that id, on the next
    // address when there are several, and the server answers it without
    // writing twice.
    RemoteResult AppServer(const QString& operation, std::vector<NetArg> args);

private:
    std::unique_ptr<protocol::RpcClient> client_;
    bool calling_ = false;
};

} // namespace hostfw
