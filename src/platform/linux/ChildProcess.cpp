// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ChildProcess.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace fw::process {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kTermGrace = std::chrono::seconds(1); // from SIGTERM to SIGKILL

// Waits for the child until `deadline`; true when it ended, with its status.
bool waitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, int& status) {
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

} // namespace

ChildEnd runToEnd(const std::vector<std::string>& words,
                  const std::vector<std::pair<std::string, std::string>>& environment,
                  const std::string& input, std::chrono::milliseconds timeout) {
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const auto name = entry.substr(0, entry.find('='));
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const auto& v) { return v.first == name; })) {
            envText.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : environment) {
        envText.push_back(name);
        envText.back().append("=").append(value);
    }
    std::vector<char*> argv;
    std::vector<char*> envp;
    std::vector<std::string> args = words;
    argv.reserve(args.size() + 1);
    envp.reserve(envText.size() + 1);
    for (std::string& w : args) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    for (std::string& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    std::array<int, 2> pipe{-1, -1};
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        return {ChildEnd::How::NotStarted, 0, std::error_code(errno, std::generic_category())};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that the time-out ends what it started too; default signals, so
    // that it is not deaf to SIGPIPE or SIGTERM because we are.
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipe[0]);
    if (spawned != 0) {
        ::close(pipe[1]);
        return {ChildEnd::How::NotStarted, 0, std::error_code(spawned, std::generic_category())};
    }
    // The event is far smaller than a pipe's buffer; one that does not read it does not hold us.
    ::fcntl(pipe[1], F_SETFL, O_NONBLOCK);
    // A hook that does not read it must not end us: SIGPIPE blocked on this thread, and one
    // raised taken back before it is unblocked.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    std::size_t written = 0;
    while (written < input.size()) {
        const ssize_t n = ::write(pipe[1], input.data() + written, input.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (errno == EPIPE) {
                const timespec zero{};
                sigtimedwait(&pipeSignal, nullptr, &zero);
            }
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ::close(pipe[1]);

    int status = 0;
    if (!waitUntil(pid, std::chrono::steady_clock::now() + timeout, status)) {
        ::kill(-pid, SIGTERM);
        if (!waitUntil(pid, std::chrono::steady_clock::now() + kTermGrace, status)) {
            ::kill(-pid, SIGKILL);
            waitUntil(pid, std::chrono::steady_clock::time_point::max(), status);
        }
        ::kill(-pid, SIGKILL); // what it left behind in its group
        return {ChildEnd::How::TimedOut, 0, {}};
    }
    if (WIFSIGNALED(status)) {
        return {ChildEnd::How::Signalled, WTERMSIG(status), {}};
    }
    return {ChildEnd::How::Exited, WEXITSTATUS(status), {}};
}

} // namespace fw::process
