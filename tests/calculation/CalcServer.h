#pragma once
// The real server with the calculation object's operations watched: every
// call is recorded (operation and arguments) and a chosen call can be made to
// fail, the others going on to the real operations.
#include "db/Database.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CalcServer {
public:
    struct Call {
        std::string operation;  // "GetNutrCalc"
        protocol::json params;
    };
    // Answers the failure text for a call that must fail, or "" to run it.
    using Fault = std::function<std::string(const Call& call, int callNumberOfItsOperation)>;

    explicit CalcServer(const db::DatabaseUrl& url);
    ~CalcServer();
    int port() const { return port_; }

    void setFault(Fault fault);
    std::vector<Call> calls() const;
    void clearCalls();

private:
    db::SessionPool pool_;
    server::Dispatcher real_;
    server::Dispatcher watched_;
    std::unique_ptr<server::HttpServer> http_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    Fault fault_;
};
