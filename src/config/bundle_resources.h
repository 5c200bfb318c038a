#pragma once

// Where the bundle's resources are: "resources" beside the executables' folder
// in a build tree, "share/korvex/resources" in an installed tree. Private to
// the configuration layer until the foundation's bundle lookup takes over.

#include <string>

namespace korvex {

// The first of the two candidate folders that exists, else the build-tree one.
std::string configBundleResourcesFolder();

}  // namespace korvex
