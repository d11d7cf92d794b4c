// SPDX-License-Identifier: GPL-3.0-or-later
// The IP address control's ipAddress write (any text a caller hands it), then the operator's edits
// and the index-based writes, against the control's promises: four boxes of 0..255 after a write,
// the Change event carrying the final text, a write of its own text changing nothing.
#include "FuzzInput.h"
#include "common/Ipv4.h"
#include "common/Overloaded.h"
#include "ipcontrol/IpAddressModel.h"

#include <vector>

namespace {

using fw::fuzz::require;
using M = fw::IpAddressModel;

// What the view would be told; what is put off runs at once.
struct Events {
    std::vector<std::string> changes;
    int boxWrites = 0;
    int messages = 0;
    void apply(const M::Actions& actions) {
        for (const auto& action : actions) {
            std::visit(fw::Overloaded{
                           [this](const M::ShowText& a) {
                               require(a.box >= 0 && a.box < 4, "box index");
                               ++boxWrites;
                           },
                           [this](const M::Changed& a) { changes.push_back(a.ipAddress); },
                           [](const M::Focus& a) { require(a.box >= 0 && a.box < 4, "focus on a box"); },
                           [this](const M::ShowMessage&) { ++messages; },
                           [](const auto&) {},
                       },
                       action);
        }
    }
};

// converted: no piece was beyond 32 bits, which stops the write with a message and no last Change.
void requireNormalised(const M& model, const Events& events, bool converted) {
    const std::string ip = model.ipAddress();
    require(model.isValidIp(), "a write leaves every box in 0..255");
    require(fw::Ipv4::parse(ip).has_value(), "a write leaves a strict dotted address");
    require(fw::Ipv4::parse(ip)->toString() == ip, "no leading zeros after a write");
    if (converted) {
        require(!events.changes.empty() && events.changes.back() == ip, "Change carries the final text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::FuzzInput in(data, size);
    Events events;
    M model;

    events.apply(model.setIpAddress(in.text(in.byte())));
    require(events.messages <= 1, "at most one message for a write");
    requireNormalised(model, events, events.messages == 0);
    const std::string once = model.ipAddress();
    const int writes = events.boxWrites;
    events.apply(model.setIpAddress(once));
    require(model.ipAddress() == once && events.boxWrites == writes, "writing its own text changes no box");

    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        const int box = op & 3;
        switch ((op >> 2) % 5) {
        case 0:
            events.apply(model.boxEdited(box, in.text(in.byte() % 8)));
            break;
        case 1: {
            const char c = static_cast<char>(in.byte());
            const auto verdict = model.keyTyped(box, c, (op & 0x80) != 0);
            if (c != '\b' && c != '.' && (c < '0' || c > '9')) {
                require(verdict == M::KeyVerdict::Refuse, "only digits, dot and backspace");
            }
            break;
        }
        case 2: {
            const int messages = events.messages;
            events.apply(model.focusLost(box, false));
            if (events.messages > messages) { // the range message
                require(!model.isValidIp(), "an out-of-range box makes the address invalid");
            }
            require(!model.boxText(box).empty(), "a left box is never empty");
            break;
        }
        case 3: {
            const int index = static_cast<std::int8_t>(in.byte());
            const int value = static_cast<std::int32_t>((in.u16() << 16) | in.u16());
            const int messages = events.messages;
            events.apply(model.setIpValue(index, value));
            require((index >= 0 && index < 4) == (events.messages == messages), "bad index, one message");
            if (index >= 0 && index < 4) {
                const int v = model.ipValue(index).value;
                require(v >= 0 && v <= 255, "a value write is held in range");
            }
            break;
        }
        default: {
            const int messages = events.messages;
            events.apply(model.setIpAddress(model.ipAddress()));
            requireNormalised(model, events, events.messages == messages);
            break;
        }
        }
    }
    return 0;
}
