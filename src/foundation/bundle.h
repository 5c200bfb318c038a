#pragma once

// The plug-in's bundle: the folder of its resources (string tables, default
// action files, interface files, icon, scripts).
//
// It is the "resources" folder found first of: <executable's folder>/resources,
// <executable's folder>/../resources, <executable's folder>/../share/korvex/resources
// (the installed layout), unless a path was set with setBundleResourcesPath.

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// The bundle's resources folder. When no candidate exists, the first
// candidate (resources beside the executable), so lookups simply find nothing.
std::string bundleResourcesPath();
// Sets the folder (tests, or an application that knows better); an empty
// path returns to the search above.
void setBundleResourcesPath(std::string path);

// <resources>/<name>.<type> (the name alone for an empty type) when that is
// an existing file, else none.
std::optional<std::string> pathForResource(std::string_view name, std::string_view type);

// The folder of the running executable (from /proc/self/exe); empty when unknown.
std::string executableDirectory();

}  // namespace korvex
