#include "cli/MeteredEndpoint.h"

#include "upgrade/core/TftpPackets.h"

namespace fw::cli {

MeteredEndpoint::MeteredEndpoint(std::unique_ptr<DatagramEndpoint> inner, Acknowledged acknowledged)
    : inner_(std::move(inner)), acknowledged_(std::move(acknowledged)) {
    connect(inner_.get(), &DatagramEndpoint::datagramsReady, this, &DatagramEndpoint::datagramsReady);
    connect(inner_.get(), &DatagramEndpoint::errorOccurred, this, &DatagramEndpoint::errorOccurred);
}

bool MeteredEndpoint::bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) {
    return inner_->bindToAdapter(adapter, localPort);
}

bool MeteredEndpoint::bindToAddress(Ipv4 local, std::uint16_t localPort) {
    return inner_->bindToAddress(local, localPort);
}

void MeteredEndpoint::setRemote(Ipv4 host, std::uint16_t port) {
    inner_->setRemote(host, port);
}

bool MeteredEndpoint::send(std::span<const std::uint8_t> bytes) {
    if (tftpOpcodeOf(bytes) == static_cast<std::uint8_t>(TftpOpcode::Data) &&
        bytes.size() >= kTftpHeaderSize) {
        // Blocks go out in order, 1, 2, ...; a resend repeats the latest. Block k ends at
        // (k - 1) * 512 + its payload.
        const int block = (bytes[2] << 8) | bytes[3];
        if (block != lastBlock_) {
            fullBlocks_ = block > 0 ? static_cast<std::uint64_t>(block - 1) : 0;
            lastBlock_ = block;
        }
        lastEnd_ = fullBlocks_ * kTftpBlockSize + (bytes.size() - kTftpHeaderSize);
    }
    return inner_->send(bytes);
}

std::optional<Datagram> MeteredEndpoint::read() {
    return meter(inner_->read());
}

std::optional<Datagram> MeteredEndpoint::readWithin(std::chrono::microseconds limit) {
    return meter(inner_->readWithin(limit));
}

std::optional<Datagram> MeteredEndpoint::meter(std::optional<Datagram> d) {
    if (d && acknowledged_ && tftpOpcodeOf(d->bytes) == static_cast<std::uint8_t>(TftpOpcode::Ack)) {
        const auto block = tftpAckBlockOf(d->bytes);
        if (block && lastBlock_ >= 0 && static_cast<std::uint16_t>(*block) == lastBlock_) {
            acknowledged_(lastEnd_);
        }
    }
    return d;
}

} // namespace fw::cli
