// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliVerdict.h"

#include "common/StringTable.h"
#include "setip/SetIpAnswerText.h"
#include "upgrade/UploadResultText.h"

namespace fw::cli {

Verdict setIpVerdict(const std::optional<SetIpAnswer>& answer, const MacAddress& mac, int requests) {
    if (!answer) {
        return {ExitStatus::NoAnswer, "no answer from " + formatMac(mac) + " after " +
                                          std::to_string(requests) +
                                          (requests == 1 ? " request" : " requests")};
    }
    const bool done = answer->result == SetIpResult::Done;
    return {done ? ExitStatus::Ok : ExitStatus::Negative,
            std::string(loadResString(setIpAnswerText(*answer))), true};
}

Verdict setIpVerdict(const std::optional<SetIpAnswer>& answer, const MacAddress& mac, int requests, Ipv4 to,
                     bool verifying) {
    Verdict verdict = setIpVerdict(answer, mac, requests);
    if (!answer) {
        verdict.text = "no answer from " + formatMac(mac) + " at " + to.toString() + " after " +
                       std::to_string(requests) + (requests == 1 ? " request" : " requests") +
                       ": a device behind a router answers by broadcast, which does not come back across "
                       "it; " +
                       (verifying ? "checking whether it took the address" : "give --verify to check it");
    }
    return verdict;
}

Verdict uploadVerdict(const TftpUpload::Result& result, const std::string& portProblem) {
    using Outcome = TftpUpload::Outcome;
    const std::string text = uploadResultText(result).value_or(std::string());
    switch (result.outcome) {
    case Outcome::Completed:
        return {ExitStatus::Ok, text, true};
    case Outcome::TimedOut:
        return {ExitStatus::NoAnswer, text};
    case Outcome::DeviceError:
        if (text.empty()) {
            const std::string said = deviceErrorText(result);
            return {ExitStatus::Negative, "the device ended the upload with an error of its own (code " +
                                              std::to_string(result.deviceErrorCode.value_or(0)) + ")" +
                                              (said.empty() ? std::string() : ": " + said)};
        }
        return {ExitStatus::Negative, text};
    case Outcome::PeerFault:
        return {ExitStatus::Negative,
                "the device answered with a packet that has no place in an upload; the upload was stopped"};
    case Outcome::Stalled:
        // ERROR 0 has gone to the device; the window would wait for Cancel, a script cannot.
        return {ExitStatus::Negative,
                std::string(loadResString(Str::TftpError0)) +
                    " The device acknowledged a block that was not sent; the upload was stopped."};
    case Outcome::PortUnavailable:
        return {ExitStatus::Usage, portProblem + "; nothing was sent"};
    case Outcome::Cancelled:
    case Outcome::None:
        break;
    }
    return {ExitStatus::Negative, "the upload ended without a result"};
}

void say(Console& console, const Verdict& verdict, const std::string& label) {
    if (!label.empty() && verdict.isResult) {
        console.note(label + ": " + verdict.text); // a rollout's results are diagnostics, as its progress
    } else if (!label.empty()) {
        console.err(label + ": " + verdict.text);
    } else if (verdict.isResult) {
        console.out(verdict.text);
    } else {
        console.err(verdict.text);
    }
}

} // namespace fw::cli
