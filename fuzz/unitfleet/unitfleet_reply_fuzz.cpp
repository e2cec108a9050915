// SPDX-License-Identifier: Apache-2.0
// Any bytes a unit may send unitfleet, read through a client session as
// `unitfleet apply --commit` reads them: the opening flags, the mode table,
// its values, the listing saved from them, the sets, the read-backs and the
// commit. Whatever comes, the unit ends with an outcome, and a saved listing
// stays within its bound.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/support/socket_feed.h"
#include "protocol/client_session.h"
#include "unitfleet/report.h"
#include "unitfleet/unit_limits.h"
#include "unitfleet/unit_work.h"

namespace {

// A folder for the listings, removed when the fuzzer ends.
struct ListingDir {
    ListingDir() {
        path = (std::filesystem::temp_directory_path() /
                ("unitfleet-fuzz-" + std::to_string(::getpid())))
                   .string();
        std::filesystem::create_directories(path);
    }
    ~ListingDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

const std::string& listingDir() {
    static const ListingDir dir;
    return dir.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SocketFeed feed(data, size, fuzz::SocketFeed::Then::StopSending);
    if (!feed.valid())
        return 0;
    static protocol::ClientSession session;
    session.setDeadline(protocol::ClientSession::Clock::now() + std::chrono::seconds(2));
    session.adopt(feed.take());

    unitfleet::InventoryUnit unit;
    unit.address = "127.0.0.1";
    unit.name = "fuzzed";
    unitfleet::WorkSettings settings;
    settings.backupDir = listingDir();
    settings.settings =
        unitfleet::iniSettings("POSTimeout = 30\nTextReset = Welcome\nUnitID = till-07\n");
    settings.commit = true;
    std::filesystem::path listing = unitfleet::listingPath(settings.backupDir, unit);
    std::error_code ec;
    std::filesystem::remove(listing, ec);

    unitfleet::UnitResult result =
        unitfleet::workOnConnectedUnit(unitfleet::Command::Apply, 0, unit, settings, session);
    if (result.saved != std::filesystem::exists(listing, ec))
        std::abort();
    if (result.saved && std::filesystem::file_size(listing, ec) > unitfleet::kLargestListing)
        std::abort();
    unitfleet::RunSummary summary;
    summary.command = unitfleet::Command::Apply;
    std::vector<unitfleet::InventoryUnit> units{unit};
    std::vector<unitfleet::UnitResult> results{result};
    // The report escapes the unit's text: no control character but the
    // line ends may reach a terminal.
    for (char c : unitfleet::textReport(units, results, summary)) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
            std::abort();
    }
    (void)unitfleet::jsonReport(units, results, summary);
    return 0;
}
