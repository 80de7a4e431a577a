// Bad requests get an error reply and never crash the server.
#include "ServerFixture.h"

using namespace protocol;

class BadRequests : public testsupport::ServerTest {};

TEST_P(BadRequests, MalformedEnvelopesGetJsonRpcErrors) {
    auto errorCode = [&](const std::string& body) {
        const json reply = json::parse(client_->post(body));
        EXPECT_TRUE(reply.contains("error")) << body;
        return reply.contains("error") ? reply["error"]["code"].get<int>() : 0;
    };
    EXPECT_EQ(errorCode("{not json"), rpc_error::ParseError);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1})"), rpc_error::InvalidRequest);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1,"method":"Nada.rdmNada.X","params":[]})"),
              rpc_error::MethodNotFound);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1,"method":"Zep12600.rdmInquerito.GetInqPaci","params":{"a":1}})"),
              rpc_error::InvalidParams);
    EXPECT_TRUE(client_->healthy());
}

INQUERITO_ENGINES(BadRequests);
