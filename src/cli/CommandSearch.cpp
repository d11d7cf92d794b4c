// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandSearch.h"

#include <algorithm>

namespace fw::cli {

asio::awaitable<SearchSummary> searchOnce(CliContext& ctx, SearchRequest request) {
    engine::SearchDriver driver(ctx.endpoints);
    co_return co_await driver.run(std::move(request), {});
}

asio::awaitable<Result<SearchSummary, ExitStatus>> search(CliContext& ctx, const SearchRequest& request) {
    SearchSummary summary = co_await searchOnce(ctx, request);
    if (const auto sent = searchSent(ctx, summary); !sent) {
        co_return Failure{sent.error()};
    }
    co_return summary;
}

Status<ExitStatus> searchSent(CliContext& ctx, const SearchSummary& summary) {
    // Said once: a watch beside this command may hold the port during several of its searches.
    for (const auto& failure : summary.started.unbindable) {
        const bool taken = failure.kind == SocketError::Kind::PortInUse;
        const std::string problem = portProblem(failure.adapter.interfaceName, failure.adapter.ip, failure) +
                                    (taken ? "; 'fernwick-cli doctor' names it" : "");
        if (ctx.portProblemsSaid.insert(problem).second) {
            ctx.console.err(problem);
        }
    }
    for (const std::string& problem : sweepProblems(summary.swept)) {
        if (ctx.portProblemsSaid.insert(problem).second) {
            ctx.console.err(problem);
        }
    }
    if (summary.started.requestsSent == 0 && summary.swept.sent == 0) {
        ctx.console.err("no discovery request could be sent");
        return Failure{ExitStatus::Usage};
    }
    return Done{};
}

asio::awaitable<Result<std::optional<DeviceRow>, ExitStatus>> searchDevice(CliContext& ctx,
                                                                           const SearchRequest& request) {
    const auto searched = co_await search(ctx, request);
    if (!searched) {
        co_return Failure{searched.error()};
    }
    const auto it = std::find_if(searched->rows.begin(), searched->rows.end(), request.stopWhen);
    if (it == searched->rows.end() && portTaken(*searched)) {
        ctx.console.err("the device did not answer; it may be behind " + portTakenOn(*searched) +
                        ", where another program holds UDP port 4001; nothing was sent");
        co_return Failure{ExitStatus::Usage};
    }
    co_return it == searched->rows.end() ? std::nullopt : std::optional(*it);
}

std::vector<std::string> sweepProblems(const SearchJob::Swept& swept) {
    std::vector<std::string> problems;
    const auto skipped = [&](std::uint64_t n, const char* why) {
        if (n > 0) {
            problems.push_back(std::to_string(n) + " target address" + (n == 1 ? "" : "es") +
                               " skipped: " + why);
        }
    };
    skipped(swept.noRoute, "this host has no route to them");
    skipped(swept.notSearched, "their route leaves by an adapter that is not searched");
    if (swept.unsent > 0) {
        problems.push_back(std::to_string(swept.unsent) +
                           " requests to targets could not be sent: the system's send buffer was full "
                           "(neighbours or a gateway not answering ARP?); a lower --rate helps");
    }
    return problems;
}

bool portTaken(const SearchSummary& summary) {
    return std::any_of(summary.started.unbindable.begin(), summary.started.unbindable.end(),
                       [](const SocketError& f) { return f.kind == SocketError::Kind::PortInUse; });
}

std::string portTakenOn(const SearchSummary& summary) {
    std::string names;
    for (const auto& f : summary.started.unbindable) {
        if (f.kind == SocketError::Kind::PortInUse) {
            names += (names.empty() ? "" : ", ") + f.adapter.interfaceName;
        }
    }
    return names;
}

std::string portProblem(const std::string& adapter, const std::optional<Ipv4>& ip, const SocketError& error,
                        std::uint16_t port) {
    const std::string where = "UDP port " + std::to_string(port) + " on " + adapter + " (" + toText(ip) + ")";
    if (error.kind == SocketError::Kind::PortInUse) {
        return where + " is in use by another program";
    }
    return "cannot use " + where + ": " + error.code.message();
}

} // namespace fw::cli
