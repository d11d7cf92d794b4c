// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JobRunner.h"

#include <asio/co_spawn.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::cli {

JobRunner::JobRunner(CliContext& ctx, std::string report, std::string_view stopped)
    : ctx_(ctx), report_(std::move(report)), stopped_(stopped), ended_(ctx.endpoints.executor()) {}

void JobRunner::queue(std::vector<std::size_t> jobs, std::vector<Ipv4> adapters, int parallel, int perAdapter,
                      Work work) {
    jobs_ = std::move(jobs);
    queue_.emplace(std::move(adapters), parallel, perAdapter);
    work_ = std::move(work);
}

asio::awaitable<Status<std::error_code>> JobRunner::run(const Then& then) {
    startNext();
    while (queue_ && !queue_->over()) {
        ended_.expires_at(engine::Timer::time_point::max());
        asio::error_code woken;
        co_await ended_.async_wait(asio::redirect_error(asio::use_awaitable, woken));
    }
    if (then) {
        co_await then();
    }
    if (error_) {
        co_return Failure{*error_};
    }
    co_return Done{};
}

void JobRunner::startNext() {
    while (const auto slot = queue_->next()) {
        asio::co_spawn(ctx_.endpoints.executor(), runJob(*slot), [](std::exception_ptr e) {
            if (e) {
                std::rethrow_exception(e);
            }
        });
    }
}

asio::awaitable<void> JobRunner::runJob(std::size_t slot) {
    co_await work_(jobs_[slot]);
    queue_->finished(slot);
    startNext();
    ended_.cancel();
}

std::vector<std::size_t> JobRunner::save(const Save& save) {
    if (report_.empty() || error_) {
        return {};
    }
    if (const auto saved = save(); !saved) {
        error_ = saved.error();
        ctx_.console.err(report_ + ": " + saved.error().message() + "; " + stopped_);
        std::vector<std::size_t> dropped;
        if (queue_) {
            for (const std::size_t slot : queue_->dropWaiting()) {
                dropped.push_back(jobs_[slot]);
            }
        }
        return dropped;
    }
    return {};
}

} // namespace fw::cli
