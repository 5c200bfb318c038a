#pragma once

// The hot folder: every subfolder of the folder under "Hotfolder" in the
// settings stands for the action file of its name. A file dropped there is
// filed into the subfolder's "Out" folder; an "indd" document is run through
// that file's chain there. The folder is polled from a one-shot timer that
// re-arms itself after each scan.
//
// A file is taken only when two scans in a row saw it with the same size and
// modification time, so one still being copied in is left for later. Taking
// it renames it into the hidden working folder ".korvex" of its subfolder:
// the rename is the claim, so two processes never take the same file, and a
// file still there after its process died is taken again by the next scan.

#include <chrono>
#include <functional>
#include <string>

#include "foundation/result.h"
#include "foundation/value.h"

namespace korvex {

// Seconds between the end of one scan and the start of the next.
inline constexpr float kHotfolderInterval = 5.0f;
// The pause between the two looks of a single scan (korvex hotfolder --once).
inline constexpr std::chrono::milliseconds kHotfolderSettleTime{1000};
// The working folder inside each subfolder; hidden, so never taken itself.
inline constexpr const char* kHotfolderWorkFolder = ".korvex";

// Arms the first scan; called once at startup.
void setupHotfolder();
// One scan of the hot folder, without arming the next. It takes the files
// that the previous scan saw unchanged, and what a dead process left in hand.
void scanHotfolder();
// A scan that takes what is there now: one scan, the settle time, another.
void scanHotfolderSettled();

// Asked before each file of a scan; true leaves the rest of the files for a
// later scan, so a stop never interrupts a document. None: never stop.
using HotfolderStopCheck = bool (*)();
void setHotfolderStopCheck(HotfolderStopCheck check);

// Where the documents go when another process runs their chains (a shared
// queue): handed each document once it is in "Out", with its subfolder's
// chain and name. A failure leaves the document where it was dropped, for a
// later scan. Installed from above; answers the former one.
using HotfolderHandOff =
    std::function<Status(const std::string& document, const ArrayPtr& chain, const std::string& chainName)>;
HotfolderHandOff setHotfolderHandOff(HotfolderHandOff handOff);

}  // namespace korvex
