// The HTTP transport of the application server, on Boost.Beast over
// Boost.Asio (header-only parts of libboost-dev, already needed by SOCI).
//
// cpp-httplib 0.11, which Debian 12 ships, reads every connection on a worker
// thread with per-read timeouts only, keeps no connection caps, drops the
// second of two pipelined requests, applies its body limit neither to chunked
// nor to compressed bodies, honours Range after the handler has run and binds
// with SO_REUSEPORT. None of that can be changed from outside it, so the
// server side is written here on Beast's HTTP parser instead; the client side
// (protocol::RpcClient) keeps cpp-httplib.
//
// Rules of the transport:
// - One I/O thread reads and writes every connection asynchronously; a
//   complete request goes to a worker thread (ServerOptions::threads), and
//   /health to a thread of its own, so neither waits behind slow clients. On
//   plain TCP the worker sends the reply itself as far as the socket takes it
//   without waiting (a small reply whole); the I/O thread writes the rest.
// - Deadlines: a new connection must send its request line and headers within
//   headerSeconds (TLS handshake included), the body within bodySeconds after
//   them; a kept-alive connection may stay idle keepAliveSeconds; a reply must
//   be taken within writeSeconds. Past a deadline the connection is closed.
// - Caps: maxConnections open connections and maxConnectionsPerAddress from
//   one address. A connection over a cap makes room by closing the oldest
//   idle (or still reading) connection within the cap's scope; when every one
//   is busy with a call, the new connection is closed at once.
// - Sizes: headers up to maxHeaderBytes; a body up to maxBodyBytes counted
//   after chunked decoding, refused as soon as a Content-Length or the
//   decoded bytes go past it (413). Compressed bodies (Content-Encoding) and
//   transfer codings other than chunked are refused (415): no body is ever
//   inflated.
// - POST /rpc needs "Content-Type: application/json" (charset allowed); any
//   other type is refused with 415, so a web page cannot post a plain-text
//   form into it. No CORS header is ever sent, and OPTIONS is refused. Range,
//   If-Range and Content-Range are refused (400) before anything runs: the
//   reply of a call is always whole.
// - Requests pipelined on one connection are read from the same buffer and
//   answered in order.
// - TLS (tlsCertFile and tlsKeyFile): TLS 1.2 or later only.
#include "server/HttpServer.h"

#include "server/Sessions.h"
#include "server/TrustedProxies.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <list>
#include <map>
#include <optional>
#include <stdexcept>

namespace server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

using Response = http::response<http::string_body>;

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// A reply the transport gives by itself (refusals, /health).
Response makeResponse(http::status status, unsigned version, std::string body, const char* type) {
    Response res{status, version};
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "no-store");
    res.set("X-Content-Type-Options", "nosniff");
    res.body() = std::move(body);
    res.prepare_payload();
    return res;
}

Response refusal(http::status status, unsigned version, int code, const std::string& message) {
    return makeResponse(status, version, protocol::serializeError(nullptr, code, message),
                        "application/json; charset=utf-8");
}

// The media type without parameters, lower case.
std::string mediaType(std::string_view contentType) {
    return lower(trim(contentType.substr(0, std::min(contentType.find(';'), contentType.size()))));
}

}  // namespace

// One client connection, as the registry of the I/O thread sees it.
class ConnectionBase {
public:
    // In the order they may be closed to make room: idle first.
    enum class State { Idle, Handshake, Head, Body, Running, Writing, Closed };
    virtual ~ConnectionBase() = default;
    virtual void start() = 0;
    virtual void close() = 0;
    State state = State::Idle;
    Clock::time_point since = Clock::now();
    std::string address;
    std::list<std::weak_ptr<ConnectionBase>>::iterator entry;
    bool registered = false;
};

struct HttpServer::Impl {
    Impl(db::SessionPool& p, const Dispatcher& d, ServerOptions o)
        : pool(p),
          dispatcher(d),
          options(std::move(o)),
          trusted(options.trustedProxies),
          workers(std::max<size_t>(1, options.threads)) {}

    db::SessionPool& pool;
    const Dispatcher& dispatcher;
    ServerOptions options;
    TrustedProxies trusted;
    asio::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    std::optional<asio::ssl::context> tls;
    asio::thread_pool workers;
    asio::thread_pool healthWorker{1};
    std::atomic<bool> stopRequested{false};
    std::atomic<size_t> open{0};

    // Touched on the I/O thread only.
    std::list<std::weak_ptr<ConnectionBase>> connections;
    std::map<std::string, size_t> perAddress;
    std::atomic<bool> stopping{false};  // set on the I/O thread, read by workers too

    void accept();
    void admit(tcp::socket socket);
    bool makeRoom(const std::string* address);
    void unregister(ConnectionBase& c);
    void stopAll();

    Response call(const std::string& body, const RequestMeta& meta, unsigned version, bool keepAlive);
    // The caller's address for the audit trail and the login throttle.
    std::string clientAddress(const std::string& peer, const http::fields& headers) const {
        if (trusted.empty()) return peer;
        std::vector<std::string> forwarded;
        for (auto [it, end] = headers.equal_range("X-Forwarded-For"); it != end; ++it)
            forwarded.emplace_back(it->value());
        return trusted.clientAddress(peer, forwarded);
    }
    Response health(unsigned version);
    void log(const char* format, ...) const;
};

void HttpServer::Impl::log(const char* format, ...) const {
    if (!options.log) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

Response HttpServer::Impl::call(const std::string& body, const RequestMeta& meta, unsigned version, bool keepAlive) {
    const auto start = Clock::now();
    const auto outcome = dispatcher.handle(body, pool, meta, false);
    if (options.log || !outcome.detail.empty()) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        // The reply's own text (Portuguese, for the user) is quoted as sent; the
        // detail behind a database failure goes only here.
        std::fprintf(stderr, "rpc %s %s %.1f ms %s%s%s%s%s\n", outcome.method.empty() ? "-" : outcome.method.c_str(),
                     outcome.operatorCode.empty() ? "-" : outcome.operatorCode.c_str(), ms,
                     outcome.ok ? "ok" : "error, reply \"", outcome.ok ? "" : outcome.error.c_str(),
                     outcome.ok ? "" : "\"", outcome.detail.empty() ? "" : " | ", outcome.detail.c_str());
    }
    Response res = makeResponse(http::status::ok, version, outcome.body, "application/json; charset=utf-8");
    res.keep_alive(keepAlive);
    return res;
}

Response HttpServer::Impl::health(unsigned version) {
    try {
        auto session = pool.acquire();
        int one = 0;
        *session << "SELECT 1", soci::into(one);
        return makeResponse(http::status::ok, version, "ok\n", "text/plain; charset=utf-8");
    } catch (const std::exception& e) {
        // Who asks /health needs no session: the driver's text stays in the log.
        std::fprintf(stderr, "health: database unavailable: %s\n", e.what());
        return makeResponse(http::status::service_unavailable, version, "banco de dados indisponível\n",
                            "text/plain; charset=utf-8");
    }
}

namespace {

template <class Stream>
class Connection : public ConnectionBase, public std::enable_shared_from_this<Connection<Stream>> {
public:
    static constexpr bool Tls = !std::is_same_v<Stream, beast::tcp_stream>;

    template <class... Args>
    Connection(HttpServer::Impl& server, Args&&... args)
        : server_(server),
          stream_(std::forward<Args>(args)...),
          buffer_(server.options.maxHeaderBytes + server.options.maxBodyBytes + 4096) {}

    void start() override {
        if constexpr (Tls) {
            setState(State::Handshake);
            lowest().expires_after(std::chrono::seconds(server_.options.headerSeconds));
            stream_.async_handshake(asio::ssl::stream_base::server,
                                    [self = this->shared_from_this()](beast::error_code ec) {
                                        if (ec) return self->close();
                                        self->readNext(true);
                                    });
        } else {
            readNext(true);
        }
    }

    void close() override {
        if (state == State::Closed) return;
        setState(State::Closed);
        beast::error_code ec;
        lowest().socket().shutdown(tcp::socket::shutdown_both, ec);
        lowest().close();
        server_.unregister(*this);
    }

private:
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }

    void setState(State s) {
        state = s;
        since = Clock::now();
    }

    const ServerOptions& options() const { return server_.options; }

    // Waits for the next request: at once when pipelined bytes are waiting,
    // else up to the idle (or, on a new connection, the header) deadline.
    void readNext(bool first) {
        if (state == State::Closed) return;
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(options().maxHeaderBytes));
        parser_->body_limit(options().maxBodyBytes);
        if (buffer_.size() > 0) return readHead();
        setState(State::Idle);
        lowest().expires_after(std::chrono::seconds(first ? options().headerSeconds : options().keepAliveSeconds));
        stream_.async_read_some(buffer_.prepare(4096),
                                [self = this->shared_from_this()](beast::error_code ec, std::size_t n) {
                                    if (ec || n == 0) return self->close();
                                    self->buffer_.commit(n);
                                    self->readHead();
                                });
    }

    void readHead() {
        if (state == State::Closed) return;
        setState(State::Head);
        lowest().expires_after(std::chrono::seconds(options().headerSeconds));
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                                    self->onHead(ec);
                                });
    }

    void onHead(beast::error_code ec) {
        if (state == State::Closed) return;
        if (ec) return failRead(ec);
        const auto& req = parser_->get();
        version_ = req.version();
        keepAlive_ = req.keep_alive();
        const std::string target(req.target());

        if (target == "/health") {
            if (req.method() != http::verb::get)
                return refuse(http::status::method_not_allowed, protocol::rpc_error::InvalidRequest,
                              "Use GET em /health.");
            if (parser_->chunked() || parser_->content_length().value_or(0) > 0)
                return refuse(http::status::bad_request, protocol::rpc_error::InvalidRequest,
                              "GET /health não leva corpo.");
            return runHealth();
        }
        if (target != "/rpc")
            return refuse(http::status::not_found, protocol::rpc_error::InvalidRequest,
                          "Recurso inexistente: use POST /rpc.");
        if (req.method() != http::verb::post)
            return refuse(http::status::method_not_allowed, protocol::rpc_error::InvalidRequest, "Use POST em /rpc.");
        if (mediaType(req[http::field::content_type]) != "application/json")
            return refuse(http::status::unsupported_media_type, protocol::rpc_error::InvalidRequest,
                          "Tipo de conteúdo não aceito: envie Content-Type: application/json.");
        for (auto field : {http::field::range, http::field::if_range, http::field::content_range})
            if (req.find(field) != req.end())
                return refuse(http::status::bad_request, protocol::rpc_error::InvalidRequest,
                              "Cabeçalho " + std::string(http::to_string(field)) +
                                  " não é aceito em /rpc: a resposta de uma chamada é sempre inteira.");
        if (auto enc = req.find(http::field::content_encoding);
            enc != req.end() && lower(trim(enc->value())) != "identity")
            return refuse(http::status::unsupported_media_type, protocol::rpc_error::InvalidRequest,
                          "Corpo comprimido não é aceito (Content-Encoding).");
        if (auto te = req.find(http::field::transfer_encoding);
            te != req.end() && lower(trim(te->value())) != "chunked")
            return refuse(http::status::unsupported_media_type, protocol::rpc_error::InvalidRequest,
                          "Transfer-Encoding não aceito: use chunked ou Content-Length.");

        meta_ = RequestMeta{};
        meta_.address = server_.clientAddress(address, req);
        if (auto auth = req.find(http::field::authorization); auth != req.end()) {
            const std::string value = trim(auth->value());
            if (value.size() > 7 && lower(value.substr(0, 7)) == "bearer ") meta_.token = trim(value.substr(7));
        }
        if (auto key = req.find("Idempotency-Key"); key != req.end()) meta_.requestId = trim(key->value());

        if (lower(trim(req[http::field::expect])) == "100-continue") {
            auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_, version_);
            lowest().expires_after(std::chrono::seconds(options().writeSeconds));
            return http::async_write(stream_, *cont,
                                     [self = this->shared_from_this(), cont](beast::error_code ec, std::size_t) {
                                         if (ec) return self->close();
                                         self->readBody();
                                     });
        }
        readBody();
    }

    void readBody() {
        if (state == State::Closed) return;
        setState(State::Body);
        lowest().expires_after(std::chrono::seconds(options().bodySeconds));
        http::async_read(stream_, buffer_, *parser_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (self->state == State::Closed) return;
            if (ec) return self->failRead(ec);
            self->runCall();
        });
    }

    // A request that could not be read: say why when the client can still
    // hear it, then close (the stream is out of step).
    void failRead(beast::error_code ec) {
        if (ec == http::error::body_limit)
            return refuse(http::status::payload_too_large, protocol::rpc_error::LimitExceeded,
                          "Requisição maior que o limite de " + std::to_string(options().maxBodyBytes) + " bytes.");
        if (ec == http::error::header_limit)
            return refuse(http::status::request_header_fields_too_large, protocol::rpc_error::LimitExceeded,
                          "Cabeçalhos maiores que o limite de " + std::to_string(options().maxHeaderBytes) +
                              " bytes.");
        if (ec == beast::error::timeout || ec == http::error::end_of_stream || ec == asio::error::eof ||
            ec == asio::error::operation_aborted || ec == asio::error::connection_reset ||
            ec == http::error::partial_message)
            return close();
        refuse(http::status::bad_request, protocol::rpc_error::InvalidRequest,
               "Requisição HTTP malformada: " + ec.message() + ".");
    }

    void refuse(http::status status, int code, const std::string& message) {
        server_.log("http %s refused %d, reply \"%s\"\n", address.c_str(), static_cast<int>(status), message.c_str());
        keepAlive_ = false;
        write(refusal(status, version_ ? version_ : 11, code, message));
    }

    void runCall() {
        setState(State::Running);
        lowest().expires_never();
        std::string body = std::move(parser_->get().body());
        auto self = this->shared_from_this();
        auto guard = asio::make_work_guard(server_.ioc);
        asio::post(server_.workers, [self, guard, body = std::move(body), meta = meta_, version = version_,
                                     keepAlive = keepAlive_]() mutable {
            Response res = self->server_.call(body, meta, version, keepAlive);
            if constexpr (Tls) {
                auto shared = std::make_shared<Response>(std::move(res));
                asio::post(self->server_.ioc, [self, shared] { self->write(std::move(*shared)); });
            } else {
                self->sendFromWorker(std::move(res));
            }
            // A due batch of the read audit is written after the reply, not before it.
            self->server_.dispatcher.flushReadAuditIfDue(self->server_.pool);
        });
    }

    // Plain TCP: the worker sends the reply itself as far as the socket takes
    // it at once (all of a small reply), so the client does not wait for the
    // I/O thread to wake up first; the rest, if any, is written by the I/O
    // thread under the usual deadline. While the connection is Running the
    // I/O thread leaves its socket alone, so the two never touch it at once.
    void sendFromWorker(Response res) {
        if (!keepAlive_ || server_.stopping) res.keep_alive(false);
        const bool again = res.keep_alive();
        auto wire = std::make_shared<std::string>(serialized(res));
        size_t sent = 0;
        const int fd = lowest().socket().native_handle();
        bool failed = false;
        while (sent < wire->size()) {
            const ssize_t n = ::send(fd, wire->data() + sent, wire->size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                failed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                break;
            }
        }
        asio::post(server_.ioc, [self = this->shared_from_this(), wire, sent, again, failed] {
            if (self->state == State::Closed) return;
            if (failed) return self->close();
            if (sent == wire->size()) return self->afterReply(again);
            self->setState(State::Writing);
            self->lowest().expires_after(std::chrono::seconds(self->options().writeSeconds));
            asio::async_write(self->stream_, asio::buffer(wire->data() + sent, wire->size() - sent),
                              [self, wire, again](beast::error_code ec, std::size_t) {
                                  if (self->state == State::Closed) return;
                                  self->afterReply(!ec && again);
                              });
        });
    }

    void afterReply(bool again) {
        if (!again || server_.stopping) return close();
        readNext(false);
    }

    static std::string serialized(Response& res) {
        std::string out;
        out.reserve(res.body().size() + 256);
        http::response_serializer<http::string_body> sr{res};
        beast::error_code ec;
        do {
            sr.next(ec, [&](beast::error_code&, const auto& buffers) {
                for (const auto b : beast::buffers_range_ref(buffers))
                    out.append(static_cast<const char*>(b.data()), b.size());
                sr.consume(beast::buffer_bytes(buffers));
            });
        } while (!ec && !sr.is_done());
        return out;
    }

    void runHealth() {
        setState(State::Running);
        lowest().expires_never();
        auto self = this->shared_from_this();
        auto guard = asio::make_work_guard(server_.ioc);
        asio::post(server_.healthWorker, [self, guard, version = version_, keepAlive = keepAlive_] {
            auto res = std::make_shared<Response>(self->server_.health(version));
            res->keep_alive(keepAlive);
            asio::post(self->server_.ioc, [self, res] { self->write(std::move(*res)); });
        });
    }

    void write(Response res) {
        if (state == State::Closed) return;
        setState(State::Writing);
        if (!keepAlive_ || server_.stopping) res.keep_alive(false);
        response_ = std::move(res);
        lowest().expires_after(std::chrono::seconds(options().writeSeconds));
        http::async_write(stream_, *response_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
            if (self->state == State::Closed) return;
            const bool again = !ec && self->response_->keep_alive();
            self->response_.reset();
            if (!again) return self->close();
            self->readNext(false);
        });
    }

    HttpServer::Impl& server_;
    Stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::optional<Response> response_;
    RequestMeta meta_;
    unsigned version_ = 11;
    bool keepAlive_ = true;
};

}  // namespace

void HttpServer::Impl::accept() {
    acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (stopping || !acceptor.is_open()) return;
        if (!ec) admit(std::move(socket));
        accept();
    });
}

// Closes the connection that has waited longest without a call under way,
// idle ones first; within one address when given. Answers false when every
// connection is busy.
bool HttpServer::Impl::makeRoom(const std::string* address) {
    std::shared_ptr<ConnectionBase> victim;
    for (const auto& weak : connections) {
        auto c = weak.lock();
        if (!c || (address && c->address != *address)) continue;
        if (c->state == ConnectionBase::State::Running || c->state == ConnectionBase::State::Writing ||
            c->state == ConnectionBase::State::Closed)
            continue;
        if (!victim || c->state < victim->state || (c->state == victim->state && c->since < victim->since))
            victim = c;
    }
    if (!victim) return false;
    victim->close();
    return true;
}

void HttpServer::Impl::admit(tcp::socket socket) {
    beast::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    if (ec) return;
    const std::string address = remote.address().to_string();
    socket.set_option(tcp::no_delay(true), ec);
    const auto known = perAddress.find(address);
    const size_t fromAddress = known == perAddress.end() ? 0 : known->second;
    if (fromAddress >= options.maxConnectionsPerAddress && !makeRoom(&address)) {
        log("http %s refused: %zu connections from this address\n", address.c_str(), fromAddress);
        return;  // the socket closes here
    }
    if (connections.size() >= options.maxConnections && !makeRoom(nullptr)) {
        log("http %s refused: %zu connections open\n", address.c_str(), connections.size());
        return;
    }
    std::shared_ptr<ConnectionBase> c;
    if (tls)
        c = std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(*this, std::move(socket), *tls);
    else
        c = std::make_shared<Connection<beast::tcp_stream>>(*this, std::move(socket));
    c->address = address;
    c->entry = connections.insert(connections.end(), c);
    c->registered = true;
    ++perAddress[address];
    ++open;
    c->start();
}

void HttpServer::Impl::unregister(ConnectionBase& c) {
    if (!c.registered) return;
    c.registered = false;
    connections.erase(c.entry);
    if (auto it = perAddress.find(c.address); it != perAddress.end() && --it->second == 0) perAddress.erase(it);
    --open;
}

void HttpServer::Impl::stopAll() {
    stopping = true;
    beast::error_code ec;
    acceptor.close(ec);
    std::vector<std::shared_ptr<ConnectionBase>> all;
    for (const auto& weak : connections)
        if (auto c = weak.lock()) all.push_back(c);
    // A connection with a call under way closes once its reply is written.
    for (auto& c : all)
        if (c->state != ConnectionBase::State::Running && c->state != ConnectionBase::State::Writing) c->close();
}

HttpServer::HttpServer(db::SessionPool& pool, const Dispatcher& dispatcher, ServerOptions options)
    : impl_(std::make_unique<Impl>(pool, dispatcher, std::move(options))) {
    auto& o = impl_->options;
    if (o.tlsCertFile.empty() != o.tlsKeyFile.empty())
        throw std::runtime_error("TLS precisa do certificado (--tls-cert) e da chave (--tls-key).");
    if (!o.tlsCertFile.empty()) {
        try {
            auto& ctx = impl_->tls.emplace(asio::ssl::context::tls_server);
            ctx.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                            asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                            asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
            ctx.use_certificate_chain_file(o.tlsCertFile);
            ctx.use_private_key_file(o.tlsKeyFile, asio::ssl::context::pem);
        } catch (const std::exception& e) {
            throw std::runtime_error("Certificado ou chave TLS inutilizáveis (" + o.tlsCertFile + ", " + o.tlsKeyFile +
                                     "): " + e.what());
        }
    }
}

HttpServer::~HttpServer() {
    impl_->workers.join();
    impl_->healthWorker.join();
}

int HttpServer::bind() {
    auto& o = impl_->options;
    std::string host = o.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string where = o.host + ":" + std::to_string(o.port);
    beast::error_code ec;
    tcp::endpoint endpoint;
    auto address = asio::ip::make_address(host, ec);
    if (!ec) {
        endpoint = tcp::endpoint(address, static_cast<unsigned short>(o.port));
    } else {
        tcp::resolver resolver(impl_->ioc);
        auto results = resolver.resolve(host, std::to_string(o.port), ec);
        if (ec || results.empty()) throw std::runtime_error("Endereço de escuta desconhecido: " + where);
        endpoint = *results.begin();
    }
    auto& acceptor = impl_->acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);  // never SO_REUSEPORT
    if (!ec) acceptor.bind(endpoint, ec);
    if (ec == asio::error::address_in_use)
        throw std::runtime_error("Não foi possível abrir " + where +
                                 ": a porta já está em uso (outro servidor atende nela?).");
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) throw std::runtime_error("Não foi possível abrir " + where + ": " + ec.message());
    return acceptor.local_endpoint().port();
}

void HttpServer::run() {
    if (impl_->stopRequested) return;
    impl_->accept();
    impl_->ioc.run();
}

void HttpServer::stop() {
    impl_->stopRequested = true;
    asio::post(impl_->ioc, [impl = impl_.get()] { impl->stopAll(); });
}

size_t HttpServer::openConnections() const { return impl_->open; }

} // namespace server
