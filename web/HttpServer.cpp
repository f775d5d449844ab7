#include "HttpServer.h"

#include "web/WebLimits.h"

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>
#include <thread>
#include <vector>

namespace vorn::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

} // namespace

// Declared in the order of their lives: the connections' handlers, which the io_context
// destroys with it, still reach the handler, the count and the TLS context.
struct HttpServer::State {
    explicit State(Handler h) : handler(std::move(h)) {}

    Handler handler;
    std::atomic<size_t> connections{0};
    std::optional<asio::ssl::context> tls;
    asio::io_context io{static_cast<int>(Limits::kThreads)};
    tcp::acceptor acceptor{io};
    std::vector<std::thread> threads;
    bool started = false;
    bool stopped = false;

    void accept();
};

namespace {

// One browser's connection: reads a request within the deadline, answers it (after its
// notBefore time, if any), and reads the next while the browser keeps it alive. `Stream` is a
// plain TCP stream or a TLS stream over one.
template <typename Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
public:
    template <typename... StreamArgs>
    Connection(HttpServer::State& server, bool fromLoopback, StreamArgs&&... streamArgs)
        : server_(server), stream_(std::forward<StreamArgs>(streamArgs)...),
          timer_(stream_.get_executor()), fromLoopback_(fromLoopback) {}

    ~Connection() { --server_.connections; }

    void begin() {
        if constexpr (kTls) {
            beast::get_lowest_layer(stream_).expires_after(Limits::kRequestDeadline);
            stream_.async_handshake(asio::ssl::stream_base::server,
                                    [self = this->shared_from_this()](beast::error_code ec) {
                                        if (!ec)
                                            self->readRequest();
                                    });
        } else {
            readRequest();
        }
    }

private:
    static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;

    void readRequest() {
        parser_.emplace();
        parser_->header_limit(Limits::kMaxHeaderBytes);
        parser_->body_limit(Limits::kMaxBodyBytes);
        // The whole request, headers and body, within one deadline: a browser that sends a
        // byte now and then cannot keep the connection.
        beast::get_lowest_layer(stream_).expires_after(Limits::kRequestDeadline);
        http::async_read(
            stream_, buffer_, *parser_,
            [self = this->shared_from_this()](beast::error_code ec, size_t) { self->onRead(ec); });
    }

    void onRead(beast::error_code ec) {
        if (ec == http::error::header_limit)
            return refuse(431, "Request headers too large");
        if (ec == http::error::body_limit)
            return refuse(413, "Request body too large");
        if (ec && ec.category() == make_error_code(http::error::bad_version).category() &&
            ec != http::error::end_of_stream && ec != http::error::partial_message)
            return refuse(400, "Bad request");
        if (ec)
            return close(); // end of stream, deadline, reset: nothing to answer
        const auto& message = parser_->get();
        HttpRequest request;
        request.method = std::string(message.method_string());
        const std::string_view target(message.target().data(), message.target().size());
        const size_t question = target.find('?');
        request.path = std::string(target.substr(0, question));
        if (question != std::string_view::npos)
            request.query = std::string(target.substr(question + 1));
        auto field = [&message](http::field name) {
            auto it = message.find(name);
            return it == message.end() ? std::string() : std::string(it->value());
        };
        request.cookie = field(http::field::cookie);
        request.authorization = field(http::field::authorization);
        request.contentType = field(http::field::content_type);
        request.body = message.body();
        request.fromLoopback = fromLoopback_;
        request.overTls = kTls;
        request.arrived = std::chrono::steady_clock::now();
        keepAlive_ = message.keep_alive();
        HttpResponse response;
        try {
            response = server_.handler(request);
        } catch (const std::exception&) {
            // A page that cannot be made must not take the server with it.
            response = HttpResponse::text(500, "Internal error\n");
        }
        if (response.notBefore > std::chrono::steady_clock::now()) {
            timer_.expires_at(response.notBefore);
            timer_.async_wait([self = this->shared_from_this(), response = std::move(response)](
                                  beast::error_code) mutable { self->write(std::move(response)); });
            return;
        }
        write(std::move(response));
    }

    void refuse(int status, const char* text) {
        keepAlive_ = false;
        refused_ = true;
        write(HttpResponse::text(status, std::string(text) + "\n"));
    }

    // Closing with bytes unread resets the connection, and the browser would lose the refusal
    // with it: the rest is read and thrown away for a moment, within bounds, before the close.
    void drainAndClose() {
        beast::error_code ignored;
        auto& socket = beast::get_lowest_layer(stream_).socket();
        socket.shutdown(tcp::socket::shutdown_send, ignored);
        beast::get_lowest_layer(stream_).expires_after(Limits::kRefusalDrainTime);
        discard();
    }

    void discard() {
        beast::get_lowest_layer(stream_).async_read_some(
            asio::buffer(drain_),
            [self = this->shared_from_this()](beast::error_code ec, size_t n) {
                self->drained_ += n;
                if (ec || self->drained_ > Limits::kRefusalDrainBytes)
                    return self->close();
                self->discard();
            });
    }

    void write(HttpResponse answer) {
        auto response = std::make_shared<http::response<http::string_body>>();
        response->version(11);
        response->result(static_cast<unsigned>(answer.status));
        response->set(http::field::content_type, answer.contentType);
        response->set(http::field::server, "Vorn gateway");
        // Nothing of the page may be framed, sniffed as another type, or fetched elsewhere.
        response->set("X-Content-Type-Options", "nosniff");
        response->set("X-Frame-Options", "DENY");
        response->set("Referrer-Policy", "no-referrer");
        response->set(http::field::cache_control, "no-store");
        for (auto& [name, value] : answer.headers)
            response->insert(name, value);
        response->body() = std::move(answer.body);
        response->keep_alive(keepAlive_);
        response->prepare_payload();
        beast::get_lowest_layer(stream_).expires_after(Limits::kWriteDeadline);
        http::async_write(
            stream_, *response,
            [self = this->shared_from_this(), response](beast::error_code ec, size_t) {
                if (!ec && self->refused_)
                    return self->drainAndClose();
                if (ec || !self->keepAlive_)
                    return self->close();
                self->readRequest();
            });
    }

    void close() {
        beast::error_code ignored;
        if constexpr (kTls) {
            // No TLS goodbye: a browser that does not answer it must not hold the connection.
            beast::get_lowest_layer(stream_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        } else {
            stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        }
    }

    HttpServer::State& server_;
    Stream stream_;
    asio::steady_timer timer_;
    beast::flat_buffer buffer_{Limits::kMaxHeaderBytes + Limits::kMaxBodyBytes};
    std::optional<http::request_parser<http::string_body>> parser_;
    bool fromLoopback_ = false;
    bool keepAlive_ = false;
    bool refused_ = false; // answered with a refusal: drained before the close
    std::array<char, 4096> drain_{};
    size_t drained_ = 0;
};

} // namespace

void HttpServer::State::accept() {
    acceptor.async_accept(asio::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor.is_open())
            return;
        if (!ec) {
            beast::error_code ignored;
            const auto remote = socket.remote_endpoint(ignored);
            if (connections.load() >= Limits::kMaxConnections) {
                socket.close(ignored); // full: the browser may try again later
            } else {
                ++connections;
                const bool loopback = !ignored && remote.address().is_loopback();
                if (tls)
                    std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(
                        *this, loopback, std::move(socket), *tls)
                        ->begin();
                else
                    std::make_shared<Connection<beast::tcp_stream>>(*this, loopback,
                                                                    std::move(socket))
                        ->begin();
            }
        }
        accept();
    });
}

HttpServer::HttpServer(Handler handler) : state_(std::make_unique<State>(std::move(handler))) {}

HttpServer::~HttpServer() {
    stop();
}

bool HttpServer::start(const std::string& address, uint16_t port, const TlsIdentity* tls,
                       std::string& error) {
    State& s = *state_;
    beast::error_code ec;
    const auto ip = asio::ip::make_address_v4(address, ec);
    if (ec) {
        error = "\"" + address + "\" is no IPv4 address";
        return false;
    }
    if (tls) {
        try {
            s.tls.emplace(asio::ssl::context::tls_server);
            s.tls->set_options(asio::ssl::context::default_workarounds |
                               asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                               asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
            s.tls->use_certificate(asio::buffer(tls->certificateDer), asio::ssl::context::asn1);
        } catch (const boost::system::system_error& e) {
            error = std::string("the server's certificate cannot be used: ") + e.what();
            return false;
        }
        if (SSL_CTX_use_PrivateKey(s.tls->native_handle(),
                                   static_cast<EVP_PKEY*>(tls->privateKey)) != 1) {
            error = "the server's private key cannot be used";
            return false;
        }
    }
    const tcp::endpoint endpoint(ip, port);
    s.acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        s.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        s.acceptor.bind(endpoint, ec);
    if (!ec)
        s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = address + ":" + std::to_string(port) + ": " + ec.message();
        return false;
    }
    s.accept();
    s.started = true;
    for (unsigned i = 0; i < Limits::kThreads; ++i)
        s.threads.emplace_back([&s] { s.io.run(); });
    return true;
}

uint16_t HttpServer::port() const {
    beast::error_code ec;
    const auto endpoint = state_->acceptor.local_endpoint(ec);
    return ec ? 0 : endpoint.port();
}

size_t HttpServer::connectionCount() const {
    return state_->connections.load();
}

void HttpServer::stop() {
    State& s = *state_;
    if (s.stopped)
        return;
    s.stopped = true;
    asio::post(s.acceptor.get_executor(), [&s] {
        beast::error_code ignored;
        s.acceptor.close(ignored);
    });
    s.io.stop();
    for (std::thread& thread : s.threads)
        thread.join();
}

} // namespace vorn::web
