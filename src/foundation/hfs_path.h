#pragma once

// HFS paths (colon-separated, volume name first) and their POSIX forms.
//
// Linux mapping (both directions lossless):
//   /a/b/c                        ⇄  <root volume>:a:b:c   ("/" ⇄ "<root volume>:")
//   <mount parent>/<vol>/rest     ⇄  <vol>:rest
// where the mount parents are /media/<user>, /run/media/<user> and /mnt
// (a folder there counts as a volume when it exists) and /Volumes (always,
// and the place of a volume that is not mounted anywhere). The root volume's
// name is the label of the file system mounted at "/", or "Root".
// A ":" inside a POSIX component is a "/" inside the HFS component and back,
// as on the Mac. Results are in NFC.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

struct HfsVolumes {
  std::string rootName = "Root";
  // Folders whose existing subfolders are volumes, searched in this order.
  std::vector<std::string> mountParents;
  // The folder whose subfolders are always volumes; unmounted volumes go here.
  std::string fallbackParent = "/Volumes";
};

// The system's volumes (computed once).
const HfsVolumes& systemVolumes();
// The label of the file system mounted at "/" (from /dev/disk/by-label), or "Root".
std::string rootVolumeName();

// Conversions by the rules above; none when the text is not a path of the
// form converted (not absolute / no volume name and colon).
std::optional<std::string> posixToHfs(std::string_view path, const HfsVolumes& volumes = systemVolumes());
std::optional<std::string> hfsToPosix(std::string_view hfsPath, const HfsVolumes& volumes = systemVolumes());

// pathWithString: a non-empty text not beginning with
// "/" is taken as an HFS path and converted to POSIX; hfsPathWithString: a
// text beginning with "/" is converted to HFS. A text that can't be converted
// stays unchanged; the result is in NFC; none stays none.
std::optional<std::string> pathWithString(std::optional<std::string_view> text);
std::optional<std::string> hfsPathWithString(std::optional<std::string_view> text);

}  // namespace korvex
