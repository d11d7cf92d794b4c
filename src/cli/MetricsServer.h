// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <memory>
#include <string>

namespace fw::cli {

// `watch --metrics-listen`: GET /metrics over HTTP on a thread of its own, answered from the text
// the watch last published, so a scrape never waits on a search nor starts one. Anything but
// /metrics is 404, any other method 405; a few connections are served at once (others wait), each
// for a few requests, and a request with a body or with oversized headers is refused.
class MetricsServer {
public:
    // Listening on host:port (host a literal address; IPv6 without brackets), or the reason it
    // could not.
    static Result<std::unique_ptr<MetricsServer>, std::string> start(const std::string& host, int port);

    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;
    ~MetricsServer();

    // Served from now on, to scrapes already waiting too.
    void publish(std::shared_ptr<const std::string> text);

private:
    struct State;
    explicit MetricsServer(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace fw::cli
