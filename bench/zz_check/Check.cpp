#include "../LabBench.h"
#include "engine/BackCheckDriver.h"
#include "engine/Engine.h"
#include "engine/SearchDriver.h"
#include "engine/SetIpDriver.h"
#include "platform/LinuxAdapterSource.h"
#include "support/NetLab.h"
#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>
#include <future>
#include <asio/co_spawn.hpp>
using namespace fw;
using namespace std::chrono_literals;
int main(int argc, char** argv) {
    if (!bench::readyForLab()) return 77;
    QCoreApplication app(argc, argv);
    test::NetLab lab;
    lab.addHost("d1", "a", "10.77.1.10/24");
    lab.addHost("d2", "b", "10.77.2.20/24");
    const QString log1 = lab.startSimulator("d1", {"--device", "name=Lobby AP,mac=00:0A:1B:2C:3D:4E"});
    const QString log2 = lab.startSimulator("d2", {"--device", "name=Quiet,mac=00:0A:1B:2C:3D:99,setip=silent"});
    lab.enterWorkstation();
    AdapterTable table = LinuxAdapterSource().enumerateAdapters().table;
    std::printf("adapters %zu\n", table.size());
    engine::Engine e;
    int rows = 0;
    engine::SearchDriver search(e.endpoints(), [&](const DeviceRow& r) { ++rows; std::printf("row %s %s on %s\n", r.name.c_str(), r.ip.toString().c_str(), r.adapterIp.toString().c_str()); });
    auto sum = e.run(search.once(table, 1500ms));
    std::printf("search: rows %zu sent %d unbindable %zu replies %lld\n", sum.rows.size(), sum.started.requestsSent, sum.started.unbindable.size(), (long long)sum.replyCount);
    SetIpExchange exchange;
    std::optional<SetIpAnswer> seen;
    engine::SetIpDriver setip(e.endpoints(), exchange, [&](const SetIpAnswer& a) { seen = a; });
    const AdapterEntry& eth0 = table[0];
    exchange.open(table, eth0.ip, 0, *parseMac("00:0A:1B:2C:3D:4E"));
    auto opened = e.run([&]() -> asio::awaitable<bool> { co_return bool(setip.open(eth0)); }());
    std::printf("setip open %d\n", opened);
    // port held: search on eth0 must report it
    engine::SearchDriver search2(e.endpoints(), {});
    auto sum2 = e.run(search2.once(table, 300ms));
    for (auto& u : sum2.started.unbindable) std::printf("unbindable %s kind %d (%s)\n", u.adapter.interfaceName.c_str(), (int)u.error.kind, u.error.code.message().c_str());
    auto answer = e.run(setip.request(engine::SetIpDriver::Fixed{*Ipv4::parse("10.77.1.50"), *Ipv4::parse("255.255.255.0"), *Ipv4::parse("0.0.0.0")}, 1, 1000ms));
    std::printf("setip answer %d result %d mode %d sink %d\n", answer.has_value(), answer ? (int)answer->result : -1, answer ? (int)answer->mode : -1, seen.has_value());
    setip.close();
    usleep(300000);
    for (const auto& o : test::simulatorEvents(log1, "setip-ack")) std::printf("ack matches %d\n", o["matches_request"].toBool());
    // silent device on eth1: retries
    SetIpExchange ex2;
    engine::SetIpDriver quiet(e.endpoints(), ex2, {});
    ex2.open(table, table[1].ip, 1, *parseMac("00:0A:1B:2C:3D:99"));
    auto t0 = std::chrono::steady_clock::now();
    auto none = e.run([&]() -> asio::awaitable<std::optional<SetIpAnswer>> { (void)quiet.open(table[1]); co_return co_await quiet.request(std::nullopt, 2, 300ms); }());
    std::printf("quiet: answer %d after %.0f ms; requests seen %zu\n", none.has_value(), std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(), test::simulatorEvents(log2, "rx").size());
    quiet.close();
    // back check: no restart, device should be back at 10.77.1.50
    engine::BackCheckDriver back(e.endpoints());
    AdapterTable own{eth0};
    auto outcome = e.run(back.run(own, *parseMac("00:0A:1B:2C:3D:4E"), false, {5000ms, 1000ms, 500ms}));
    std::printf("back: %d state %d ip %s elapsed %lld\n", outcome.has_value(), outcome ? (int)outcome->state : -1, outcome && outcome->row ? outcome->row->ip.toString().c_str() : "-", outcome ? (long long)outcome->elapsed.count() : -1);
    // back check with restart on a device that never restarts: NotRestarted after timeout
    auto outcome2 = e.run(back.run(own, *parseMac("00:0A:1B:2C:3D:4E"), true, {2000ms, 300ms, 200ms}));
    std::printf("back2: state %d elapsed %lld\n", outcome2 ? (int)outcome2->state : -1, outcome2 ? (long long)outcome2->elapsed.count() : -1);
    {
        engine::Engine t;
        t.startThread();
        std::promise<std::size_t> done;
        std::unique_ptr<engine::SearchDriver> d;
        t.post([&] {
            d = std::make_unique<engine::SearchDriver>(t.endpoints(), [](const DeviceRow& r) { std::printf("thread row %s\n", r.name.c_str()); });
            asio::co_spawn(t.context(), d->once(table, 800ms), [&](std::exception_ptr, engine::SearchDriver::Summary s) { done.set_value(s.rows.size()); });
        });
        std::printf("thread search rows %zu\n", done.get_future().get());
        t.post([&] { d.reset(); });
        t.stop();
    }
    return 0;
}
