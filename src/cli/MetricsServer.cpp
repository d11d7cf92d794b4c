// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MetricsServer.h"

#ifndef _WIN32
#include <httplib.h>
#endif
#include <mutex>
#include <thread>

namespace fw::cli {

#ifdef _WIN32

// Debian's cpp-httplib is a library built for Linux; fernwick-cli.exe writes --textfile only.
struct MetricsServer::State {};

Result<std::unique_ptr<MetricsServer>, std::string> MetricsServer::start(const std::string&, int) {
    return Failure{std::string("--metrics-listen is not available on Windows; use --textfile")};
}

void MetricsServer::publish(std::shared_ptr<const std::string>) {}

#else

namespace {

constexpr std::size_t kThreads = 4; // requests served at once; further connections wait
constexpr std::size_t kRequestsPerConnection = 5;
constexpr time_t kKeepAliveSeconds = 2;
constexpr time_t kReadSeconds = 5;        // a client that sends its request slowly is dropped
constexpr std::size_t kMaxPayload = 4096; // a scrape has no body; a larger one is refused (413)
constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

} // namespace

struct MetricsServer::State {
    httplib::Server server;
    std::thread thread;
    std::mutex mutex;
    std::shared_ptr<const std::string> text = std::make_shared<const std::string>();

    std::shared_ptr<const std::string> current() {
        const std::lock_guard lock(mutex);
        return text;
    }
};

Result<std::unique_ptr<MetricsServer>, std::string> MetricsServer::start(const std::string& host, int port) {
    auto state = std::make_unique<State>();
    State* s = state.get();
    httplib::Server& server = s->server;
    // httplib takes the pool by a raw pointer and deletes it itself.
    server.new_task_queue = [] {
        return new httplib::ThreadPool(kThreads);
    }; // NOLINT(cppcoreguidelines-owning-memory)
    server.set_keep_alive_max_count(kRequestsPerConnection);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    server.set_read_timeout(kReadSeconds, 0);
    server.set_payload_max_length(kMaxPayload);
    server.Get("/metrics", [s](const httplib::Request&, httplib::Response& res) {
        res.set_content(*s->current(), kContentType);
    });
    // Anything but GET or HEAD of /metrics is answered from its request line and headers, before a
    // body is awaited and whatever the method (TRACE and CONNECT too).
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path != "/metrics") {
            res.status = 404;
        } else if (req.method != "GET" && req.method != "HEAD") {
            res.status = 405;
            res.set_header("Allow", "GET, HEAD");
        } else {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::to_string(res.status) + "\n", "text/plain");
    });
    if (!server.bind_to_port(host, port)) {
        return Failure{"cannot listen on " + (host.find(':') != std::string::npos ? "[" + host + "]" : host) +
                       ":" + std::to_string(port) + ": " +
                       std::error_code(errno, std::generic_category()).message()};
    }
    s->thread = std::thread([s] { s->server.listen_after_bind(); });
    return std::unique_ptr<MetricsServer>(new MetricsServer(std::move(state)));
}

void MetricsServer::publish(std::shared_ptr<const std::string> text) {
    const std::lock_guard lock(state_->mutex);
    state_->text = std::move(text);
}

#endif

MetricsServer::MetricsServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

MetricsServer::~MetricsServer() {
#ifndef _WIN32
    state_->server.stop();
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
#endif
}

} // namespace fw::cli
