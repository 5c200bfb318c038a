#pragma once

// The hot folder: every subfolder of the folder under "Hotfolder" in the
// settings stands for the action file of its name. A file dropped there is
// moved into the subfolder's "Out" folder; an "indd" document is then opened
// and run through that file's chain. The folder is polled from a one-shot
// timer that re-arms itself after each scan.

namespace korvex {

// Seconds between the end of one scan and the start of the next.
inline constexpr float kHotfolderInterval = 5.0f;

// Arms the first scan; called once at startup.
void setupHotfolder();
// One scan of the hot folder, without arming the next.
void scanHotfolder();

// Asked before each file of a scan; true leaves the rest of the files for a
// later scan, so a stop never interrupts a document. None: never stop.
using HotfolderStopCheck = bool (*)();
void setHotfolderStopCheck(HotfolderStopCheck check);

}  // namespace korvex
