#include "server/Dispatcher.h"

#include <soci/soci-backend.h>

namespace server {

void Dispatcher::add(const std::string& object, const std::string& operation, size_t argumentCount,
                     Handler handler) {
    operations_[object + "." + operation] = Entry{argumentCount, std::move(handler)};
}

Dispatcher::Outcome Dispatcher::handle(const std::string& requestBody, db::SessionPool& pool) const {
    using namespace protocol;
    Outcome out;
    json id = nullptr;
    auto fail = [&](int code, const std::string& message) {
        out.ok = false;
        out.error = message;
        out.body = serializeError(id, code, message);
        return out;
    };
    RpcRequest request;
    try {
        request = RpcRequest::parse(requestBody);
    } catch (const RpcFailure& e) {
        return fail(e.code(), e.what());
    }
    id = request.id;
    out.method = request.method;
    auto it = operations_.find(request.method);
    if (it == operations_.end()) return fail(rpc_error::MethodNotFound, "Operação desconhecida: " + request.method);
    if (request.params.size() != it->second.argumentCount)
        return fail(rpc_error::InvalidParams, "A operação " + request.method + " recebe " +
                                                  std::to_string(it->second.argumentCount) + " argumentos.");
    try {
        auto session = pool.acquire();
        Args args(request.params);
        CallContext ctx{*session, pool.engine(), args, {}};
        it->second.handler(ctx);
        out.ok = true;
        out.body = serializeResult(id, ctx.result);
        return out;
    } catch (const ArgumentError& e) {
        return fail(rpc_error::InvalidParams, e.what());
    } catch (const OperationError& e) {
        return fail(rpc_error::OperationFailed, e.what());
    } catch (const ProtocolError& e) {
        return fail(rpc_error::InvalidParams, e.what());
    } catch (const soci::soci_error& e) {
        return fail(rpc_error::InternalError, std::string("Erro no banco de dados: ") + e.get_error_message());
    } catch (const std::exception& e) {
        return fail(rpc_error::InternalError, std::string("Erro interno: ") + e.what());
    }
}

void registerAll(Dispatcher& d) {
    registerRdmInquerito(d);
    registerRdmCalcular(d);
    registerRdmCopiarInq(d);
    registerRdmPlaInqNutr(d);
    registerHostLookup(d);
}

} // namespace server
