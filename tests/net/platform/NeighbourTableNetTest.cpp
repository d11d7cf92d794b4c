#include "platform/NeighbourTable.h"

#include "support/NetLab.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

using test::NetLab;

QByteArray neighbours(NetLab& lab) {
    QByteArray out;
    lab.run("ws", {"ip", "-4", "neigh", "show"}, &out);
    return out;
}

TEST(NeighbourTableNet, RemovesTheEntryOnEveryInterfaceAndNeedsPrivilege) {
    NetLab lab;
    for (const char* dev : {"eth0", "eth1"}) {
        ASSERT_EQ(lab.run("ws", {"ip", "neigh", "add", "10.77.1.10", "lladdr", "02:00:00:00:00:0a", "dev",
                                 dev, "nud", "permanent"}),
                  0);
    }
    ASSERT_EQ(lab.run("ws", {"ip", "neigh", "add", "10.77.1.11", "lladdr", "02:00:00:00:00:0b", "dev", "eth0",
                             "nud", "permanent"}),
              0);
    lab.enterWorkstation();

    // Without CAP_NET_ADMIN the kernel refuses; that is reported, not raised, and nothing changes.
    const pid_t child = fork();
    if (child == 0) {
        const bool removed =
            setgid(65534) == 0 && setuid(65534) == 0 && NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10"));
        _exit(removed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(neighbours(lab).count("10.77.1.10 "), 2);

    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    const QByteArray left = neighbours(lab);
    EXPECT_FALSE(left.contains("10.77.1.10 ")) << left.toStdString();
    EXPECT_TRUE(left.contains("10.77.1.11 ")) << left.toStdString();
    // Nothing to remove is no failure.
    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
}

} // namespace
} // namespace fw
