#pragma once

#include "platform/DatagramEndpoint.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace fw::cli {

// Wraps the upload's transfer socket to see how far the image has got, without touching the
// upload's rules: it notes the block number and end offset of every TFTP DATA packet sent, and
// reports the end offset when the device acknowledges the latest of them. Everything else passes
// through unchanged.
class MeteredEndpoint final : public DatagramEndpoint {
    Q_OBJECT
public:
    using Acknowledged = std::function<void(std::uint64_t bytesDone)>;

    MeteredEndpoint(std::unique_ptr<DatagramEndpoint> inner, Acknowledged acknowledged);

    bool bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) override;
    bool bindToAddress(Ipv4 local, std::uint16_t localPort) override;
    void setRemote(Ipv4 host, std::uint16_t port) override;
    bool send(std::span<const std::uint8_t> bytes) override;
    std::optional<Datagram> read() override;
    Ipv4 localAddress() const override { return inner_->localAddress(); }
    std::uint16_t localPort() const override { return inner_->localPort(); }
    bool isOpen() const override { return inner_->isOpen(); }
    void close() override { inner_->close(); }
    std::error_code lastError() const override { return inner_->lastError(); }

private:
    std::unique_ptr<DatagramEndpoint> inner_;
    Acknowledged acknowledged_;
    int lastBlock_ = -1;           // block number of the latest DATA sent, -1 before any
    std::uint64_t lastEnd_ = 0;    // image bytes up to the end of that block
    std::uint64_t fullBlocks_ = 0; // 512-byte blocks before it
};

} // namespace fw::cli
