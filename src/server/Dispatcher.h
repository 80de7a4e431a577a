#pragma once
#include "server/Operation.h"

#include <map>
#include <string>

namespace server {

// Routes "Object.Operation" calls to their handlers, each inside one pooled
// session; turns every failure into an error reply.
class Dispatcher {
public:
    struct Outcome {
        std::string method;
        std::string body;
        bool ok = false;
        std::string error;
    };

    void add(const std::string& object, const std::string& operation, size_t argumentCount, Handler handler);
    Outcome handle(const std::string& requestBody, db::SessionPool& pool) const;
    bool has(const std::string& method) const { return operations_.count(method) > 0; }

private:
    struct Entry {
        size_t argumentCount;
        Handler handler;
    };
    std::map<std::string, Entry> operations_;
};

// Every server object of the application.
void registerRdmInquerito(Dispatcher& d);
void registerRdmCalcular(Dispatcher& d);
void registerRdmCopiarInq(Dispatcher& d);
void registerRdmPlaInqNutr(Dispatcher& d);
void registerHostLookup(Dispatcher& d);
void registerAll(Dispatcher& d);

} // namespace server
