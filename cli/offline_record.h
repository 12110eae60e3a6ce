#pragma once

// An offline record as `scope offline` takes it: the setup written, the capture armed (and the
// generator started under its hold when asked), the record read back. `step` records the same
// way.

#include <string>

#include "drive_session.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "scope/trigger.h"

namespace zrd::cli {

struct OfflineRecordRun {
    scope::OfflineSetup setup;
    double waitS = 0;  // how long an armed capture waits for its event; 0: as long as it takes
    bool startFg = false;
};

struct OfflineRecordResult {
    scope::OfflineEnd end = scope::OfflineEnd::None;
    int records = 0;
    int dropped = 0;
};

// Runs the record into `osc` on a connected session. A setup the drive does not take, a frame
// that cannot be sent or a generator that does not start ends the command; a record that ends
// otherwise returns its end for the caller to report. A generator it started is stopped.
OfflineRecordResult recordOffline(Session& s, scope::Oscillogram& osc, const OfflineRecordRun& run);

// The scope signal a --ch option names (a number or a mnemonic); anything else ends the command.
int signalOf(Session& s, const std::string& text, const std::string& option);

// "dd.mm.yy / hh:mm:ss", the stamp the program writes into the header.
std::string stampNow();

// The end as the summary line says it ("complete", "drive fell silent", ...).
const char* offlineEndText(scope::OfflineEnd end);

}  // namespace zrd::cli
