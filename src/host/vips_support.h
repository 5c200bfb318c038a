#pragma once

// libvips for every picture the host reads: started once per process, its and
// GLib's messages kept off the terminal, its objects owned by RAII handles.

#include <vips/vips.h>

#include <memory>
#include <string>

namespace korvex {

// Starts libvips on first call (any thread); false when it can't start.
bool ensureVips();

struct VipsUnref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
using VipsImagePtr = std::unique_ptr<VipsImage, VipsUnref>;

// Forgets what earlier work left in libvips' error buffer and warnings.
void clearVipsMessages();
// Why libvips' last operation on this thread failed, in one line (its first
// error, else its last warning, without the loader's name), and forgets it;
// fallback when it said nothing.
std::string takeVipsError(const std::string& fallback);

}  // namespace korvex
