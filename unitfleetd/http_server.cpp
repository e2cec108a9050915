// SPDX-License-Identifier: Apache-2.0
// The HTTP library is Boost.Beast over Boost.Asio (Debian's libboost-dev),
// chosen over cpp-httplib and civetweb because both of those give each
// connection a thread from a fixed pool while it is open: 200 idle
// connections then hold every thread and a valid request waits for their
// time-outs, and a client trickling one header byte at a time keeps a thread
// for as long as each single read is within its time-out. Here one thread
// serves every connection with asynchronous I/O, so idle or slow clients
// cost a socket and a buffer, never a thread; each stage has its own
// deadline (idle wait, the whole request, the whole answer), the parser caps
// header and body size, TLS is Asio's OpenSSL stream, and an open answer
// (server-sent events) is just a connection we keep writing to. The cost is
// compile time: Beast is included by this file alone.
#include "unitfleetd/http_server.h"

#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "unitfleetd/event_hub.h"

namespace unitfleetd {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

std::vector<std::pair<std::string, std::string>> securityHeaders(bool tls) {
    std::vector<std::pair<std::string, std::string>> h = {
        // Pages may load their own scripts and styles, never inline ones.
        {"Content-Security-Policy",
         "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; "
         "base-uri 'none'; form-action 'self'; frame-ancestors 'none'"},
        {"X-Frame-Options", "DENY"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    };
    if (tls)
        h.emplace_back("Strict-Transport-Security", "max-age=31536000");
    return h;
}

struct HttpServer::Impl {
    explicit Impl(HttpHandler h) : handler(std::move(h)) {}

    // A signal or a timer that calls `fn` each time, for as long as the
    // server lives.
    struct Repeating {
        std::function<void()> fn;
        asio::signal_set* signal = nullptr;
        std::unique_ptr<asio::signal_set> signalOwner;
        std::unique_ptr<asio::steady_timer> timer;
        std::chrono::milliseconds period{};
        void arm() {
            auto fire = [this](beast::error_code ec, auto&&...) {
                if (ec)
                    return;
                fn();
                arm();
            };
            if (signal != nullptr) {
                signal->async_wait(fire);
            } else {
                timer->expires_after(period);
                timer->async_wait(fire);
            }
        }
    };

    // Declared before the I/O context: connections still pending when it
    // is destroyed count themselves out of `live` and their TLS state out
    // of the context.
    HttpHandler handler;
    ServerSettings settings;
    int live = 0;
    std::optional<asio::ssl::context> tls;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::thread_pool pool{2};
    std::vector<std::unique_ptr<Repeating>> repeating;

    void accept();
    void answered(int status) {
        if (settings.answered)
            settings.answered(status);
    }
};

namespace {

template <typename Stream>
tcp::socket& socketOf(Stream& stream) {
    return beast::get_lowest_layer(stream).socket();
}

// One connection, plain or TLS. It owns itself through the shared pointers
// its pending operations hold, and ends when the last one completes.
template <typename Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
  public:
    Connection(HttpServer::Impl& server, Stream stream, bool tls)
        : server_(server), stream_(std::move(stream)), tls_(tls) {
        ++server_.live;
        beast::error_code ec;
        auto endpoint = socketOf(stream_).remote_endpoint(ec);
        if (!ec)
            peer_ = endpoint.address().to_string();
    }
    ~Connection() {
        --server_.live;
        if (events_)
            events_->close();
    }

    void start() {
        if constexpr (std::is_same_v<Stream, beast::ssl_stream<beast::tcp_stream>>) {
            lowest().expires_after(server_.settings.requestTimeout);
            stream_.async_handshake(asio::ssl::stream_base::server,
                                    [self = this->shared_from_this()](beast::error_code ec) {
                                        if (!ec)
                                            self->waitForRequest();
                                    });
        } else {
            waitForRequest();
        }
    }

  private:
    beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }

    // Between requests a connection may sit idle up to the idle time-out;
    // from its first byte, the whole request must come within the request
    // time-out, however slowly it trickles.
    void waitForRequest() {
        if (buffer_.size() > 0)
            return readRequest();
        lowest().expires_after(server_.settings.idleTimeout);
        stream_.async_read_some(buffer_.prepare(4096), [self = this->shared_from_this()](
                                                           beast::error_code ec, std::size_t n) {
            if (ec)
                return self->close();
            self->buffer_.commit(n);
            self->readRequest();
        });
    }

    void readRequest() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.settings.maxHeaderBytes));
        parser_->body_limit(server_.settings.maxBodyBytes);
        lowest().expires_after(server_.settings.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                             self->onRead(ec);
                         });
    }

    void onRead(beast::error_code ec) {
        if (ec == http::error::header_limit)
            return refuse(431, "the request's header is too large");
        if (ec == http::error::body_limit)
            return refuse(413, "the request's body is too large");
        if (ec == beast::error::timeout)
            return close();  // the stream closed the socket
        if (ec == http::error::end_of_stream || ec == asio::error::eof ||
            ec == asio::error::connection_reset)
            return close();
        if (ec)
            return refuse(400, "malformed request");
        auto& message = parser_->get();
        HttpRequest request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        if (!splitTarget(request.target, request.path, request.query))
            return refuse(400, "malformed request target");
        for (const auto& field : message) {
            std::string name(field.name_string());
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            auto& value = request.headers[name];
            if (!value.empty())
                value += name == "cookie" ? "; " : ", ";
            value += std::string(field.value());
        }
        request.body = std::move(message.body());
        request.peer = peer_;
        request.tls = tls_;
        keepAlive_ = message.keep_alive();
        // The reply may come from another thread: it always comes back
        // through the loop.
        auto self = this->shared_from_this();
        auto& io = server_.io;
        server_.handler(std::move(request), [self, &io](HttpResponse response) {
            asio::post(io,
                       [self, r = std::move(response)]() mutable { self->answer(std::move(r)); });
        });
    }

    // Refusals close the connection: what follows in it cannot be trusted
    // to start a new request.
    void refuse(int status, const std::string& why) {
        keepAlive_ = false;
        HttpResponse r;
        r.status = status;
        r.body = "{\"error\":\"" + why + "\"}";  // fixed texts: nothing to escape
        answer(std::move(r));
    }

    void answer(HttpResponse r) {
        server_.answered(r.status);
        if (r.events)
            return startEvents(std::move(r));
        response_.emplace(static_cast<http::status>(r.status), 11);
        response_->set(http::field::server, "unitfleetd");
        response_->set(http::field::content_type, r.contentType);
        for (auto& [name, value] : securityHeaders(tls_)) response_->set(name, value);
        for (auto& [name, value] : r.headers) response_->insert(name, value);
        response_->body() = std::move(r.body);
        response_->keep_alive(keepAlive_);
        response_->prepare_payload();
        lowest().expires_after(server_.settings.writeTimeout);
        http::async_write(stream_, *response_,
                          [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec)
                                  return self->close();
                              if (!self->keepAlive_)
                                  return self->closeAfterDraining();
                              self->response_.reset();
                              self->waitForRequest();
                          });
    }

    // Server-sent events: the header, then each event as it comes, until
    // the client leaves, a write stalls or the stream is dropped.
    void startEvents(HttpResponse r) {
        events_ = std::move(r.events);
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
        for (auto& [name, value] : securityHeaders(tls_)) head += name + ": " + value + "\r\n";
        head += "Connection: close\r\n\r\n";
        pending_ = std::move(head);
        writing_ = true;
        writePending();
        // A read that ends only when the client closes the connection.
        lowest().expires_never();
        stream_.async_read_some(buffer_.prepare(1024),
                                [self = this->shared_from_this()](beast::error_code ec,
                                                                  std::size_t) { self->close(); });
    }

    void writePending() {
        auto deadline = std::make_shared<asio::steady_timer>(server_.io);
        deadline->expires_after(server_.settings.writeTimeout);
        auto self = this->shared_from_this();
        deadline->async_wait([self](beast::error_code ec) {
            if (!ec)
                self->close();
        });
        asio::async_write(stream_, asio::buffer(pending_),
                          [self, deadline](beast::error_code ec, std::size_t) {
                              deadline->cancel();
                              if (ec)
                                  return self->close();
                              self->writing_ = false;
                              self->nextEvent();
                          });
    }

    void nextEvent() {
        if (closed_ || writing_ || !events_)
            return;
        if (events_->overflowed())
            return close();
        if (auto text = events_->pop()) {
            pending_ = std::move(*text);
            writing_ = true;
            return writePending();
        }
        std::weak_ptr<Connection> weak = this->shared_from_this();
        events_->setWake([weak] {
            if (auto self = weak.lock())
                self->nextEvent();
        });
    }

    // After a last answer: no more sending, then read what the client still
    // sends for a moment, so that closing does not reset the connection
    // before the client has read the answer.
    void closeAfterDraining() {
        beast::error_code ec;
        socketOf(stream_).shutdown(tcp::socket::shutdown_send, ec);
        lowest().expires_after(std::chrono::seconds(2));
        drain();
    }

    void drain() {
        stream_.async_read_some(asio::buffer(scratch_), [self = this->shared_from_this()](
                                                            beast::error_code ec, std::size_t) {
            if (ec)
                return self->close();
            self->drain();
        });
    }

    void close() {
        if (closed_)
            return;
        closed_ = true;
        if (events_)
            events_->close();
        beast::error_code ec;
        socketOf(stream_).shutdown(tcp::socket::shutdown_both, ec);
        socketOf(stream_).close(ec);
    }

    HttpServer::Impl& server_;
    Stream stream_;
    bool tls_;
    std::string peer_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::optional<http::response<http::string_body>> response_;
    bool keepAlive_ = false;
    bool closed_ = false;
    std::shared_ptr<EventStream> events_;
    std::string pending_;
    bool writing_ = false;
    std::array<char, 4096> scratch_{};
};

}  // namespace

void HttpServer::Impl::accept() {
    acceptor.async_accept(io, [this](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted)
            return;
        if (!ec) {
            // Past the limit a new connection is closed at once: it costs
            // the others nothing.
            if (live >= settings.maxConnections) {
                socket.close(ec);
            } else if (tls) {
                std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(
                    *this, beast::ssl_stream<beast::tcp_stream>(std::move(socket), *tls), true)
                    ->start();
            } else {
                std::make_shared<Connection<beast::tcp_stream>>(
                    *this, beast::tcp_stream(std::move(socket)), false)
                    ->start();
            }
        }
        accept();
    });
}

HttpServer::HttpServer(HttpHandler handler) : impl_(std::make_unique<Impl>(std::move(handler))) {}

HttpServer::~HttpServer() {
    impl_->pool.join();
}

bool HttpServer::listen(const ServerSettings& settings, std::string& error) {
    impl_->settings = settings;
    if (!settings.tlsCertificate.empty()) {
        impl_->tls.emplace(asio::ssl::context::tls_server);
        auto& context = *impl_->tls;
        context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                            asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                            asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
        beast::error_code ec;
        context.use_certificate_chain_file(settings.tlsCertificate, ec);
        if (ec) {
            error =
                "cannot load the certificate '" + settings.tlsCertificate + "': " + ec.message();
            return false;
        }
        context.use_private_key_file(settings.tlsKey, asio::ssl::context::pem, ec);
        if (ec) {
            error = "cannot load the key '" + settings.tlsKey + "': " + ec.message();
            return false;
        }
    }
    beast::error_code ec;
    auto address = asio::ip::make_address(settings.address, ec);
    if (ec) {
        error = "invalid listen address '" + settings.address + "'";
        return false;
    }
    tcp::endpoint endpoint(address, settings.port);
    auto& acceptor = impl_->acceptor;
    std::string where = settings.address + ":" + std::to_string(settings.port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + where + ": " + ec.message();
        return false;
    }
    impl_->accept();
    return true;
}

std::uint16_t HttpServer::port() const {
    beast::error_code ec;
    auto endpoint = impl_->acceptor.local_endpoint(ec);
    return ec ? 0 : endpoint.port();
}

// A stop() that comes before run() still counts: run() then returns at once.
void HttpServer::run() {
    impl_->io.run();
}

void HttpServer::stop() {
    impl_->io.stop();
}

void HttpServer::post(std::function<void()> fn) {
    asio::post(impl_->io, std::move(fn));
}

void HttpServer::offload(std::function<void()> work, std::function<void()> then) {
    asio::post(impl_->pool, [this, work = std::move(work), then = std::move(then)]() mutable {
        work();
        asio::post(impl_->io, std::move(then));
    });
}

void HttpServer::onSignal(int signal, std::function<void()> fn) {
    auto r = std::make_unique<Impl::Repeating>();
    r->fn = std::move(fn);
    r->signalOwner = std::make_unique<asio::signal_set>(impl_->io, signal);
    r->signal = r->signalOwner.get();
    r->arm();
    impl_->repeating.push_back(std::move(r));
}

void HttpServer::every(std::chrono::milliseconds period, std::function<void()> fn) {
    auto r = std::make_unique<Impl::Repeating>();
    r->fn = std::move(fn);
    r->timer = std::make_unique<asio::steady_timer>(impl_->io);
    r->period = period;
    r->arm();
    impl_->repeating.push_back(std::move(r));
}

int HttpServer::connections() const {
    return impl_->live;
}

}  // namespace unitfleetd
