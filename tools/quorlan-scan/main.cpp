// quorlan-scan: writes scans to a serial device as a barcode scanner does and prints what the
// station answers; its exit status tells a script whether every expected ACK came.
#include "answers.h"
#include "device.h"
#include "images.h"
#include "options.h"
#include "scan_bytes.h"
#include "two_d_scan.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace {

using namespace quorlan::scan_tool;
using quorlan::tools::kExitUsage;
using Clock = std::chrono::steady_clock;

constexpr int kExitNoAck = 1;
constexpr int kExitDevice = 3;

// Prints the station's lines until an ACK came (when one is expected) or the time is up; true when
// the ACK came.
bool printAnswers(ScannerLine& line, AnswerLines& answers, Clock::time_point until, bool stopAtAck) {
    bool acknowledged = false;
    while (Clock::now() < until) {
        const std::string bytes = line.read(until);
        for (const std::string& answer : answers.add(bytes)) {
            std::cout << "station: " << answer << std::endl;
            acknowledged = acknowledged || answer == "ACK";
        }
        if (acknowledged && stopAtAck) {
            break;
        }
    }
    return acknowledged;
}

// One scan: the answers it gets, and the quiet time the station needs to end it before the next.
bool scanOnce(ScannerLine& line, const Options& options, const std::string& scan, const std::string& bytes,
              bool expectAck) {
    AnswerLines answers;
    line.discardInput();
    line.write(bytes);
    const auto sent = Clock::now();
    std::cout << "scanned: " << scan << std::endl;
    if (!expectAck) {
        printAnswers(line, answers, sent + std::chrono::milliseconds(options.gapMs), false);
        return true;
    }
    if (printAnswers(line, answers, sent + std::chrono::milliseconds(options.waitMs), true)) {
        return true; // the station has ended the scan, so the next may follow at once
    }
    std::cout << "no answer" << std::endl;
    printAnswers(line, answers, sent + std::chrono::milliseconds(options.gapMs), false);
    return false;
}

// The payloads of the images named by the scan arguments, in reading order.
std::vector<std::string> imagePayloads(const Options& options, std::vector<std::string>& shown) {
    std::vector<std::string> files;
    for (const ScanArgument& scan : options.scans) {
        if (scan.kind != ScanKind::Given) {
            throw std::invalid_argument("--image reads images only; send 2D scans in a run of their own");
        }
        files.push_back(scan.text);
    }
    std::vector<std::string> payloads = payloadsFromImages(files);
    std::transform(payloads.begin(), payloads.end(), std::back_inserter(shown), describePayload);
    return payloads;
}

int run(const Options& options) {
    const ScanForm form = options.hex ? ScanForm::Hex : options.raw ? ScanForm::Raw : ScanForm::Text;
    std::vector<std::string> payloads;
    std::vector<std::string> shown;
    try {
        if (options.images) {
            payloads = imagePayloads(options, shown);
        }
        for (const ScanArgument& scan : options.images ? std::vector<ScanArgument>() : options.scans) {
            if (scan.kind != ScanKind::Given) {
                payloads.push_back(twoDScanBytes(scan, options));
            } else if (auto bytes = scanBytes(scan.text, form)) {
                payloads.push_back(std::move(*bytes));
            } else {
                throw std::invalid_argument("not pairs of hex digits: " + scan.text);
            }
            shown.push_back(describeScan(scan, options, payloads.back()));
        }
    } catch (const std::invalid_argument& refused) {
        std::cerr << "quorlan-scan: " << refused.what() << "\n";
        return kExitUsage;
    }
    ScannerLine line(options.device, options.baud);
    AckExpectation expectation(options.expect);
    bool everyAck = true;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        const bool expectAck = expectation.expectsAck(payloads[i]);
        everyAck = scanOnce(line, options, shown[i], payloads[i], expectAck) && everyAck;
    }
    return everyAck ? EXIT_SUCCESS : kExitNoAck;
}

} // namespace

int main(int argc, char** argv) {
    const auto parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc), std::getenv("QUORLAN_SCANNER"));
    if (const auto exitCode = quorlan::tools::endsHere(parsed, "quorlan-scan", helpText(), usageLine())) {
        return *exitCode;
    }
    try {
        return run(std::get<Options>(parsed));
    } catch (const std::runtime_error& error) {
        std::cerr << "quorlan-scan: " << error.what() << "\n";
        return kExitDevice;
    }
}
