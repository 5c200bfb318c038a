#pragma once

// The independent checkers a test runs (qpdf, pdftotext, identify, …), found
// on the PATH at test time.

#include <string>

namespace korvex::test {

// The program's full path; empty when it is not installed.
std::string tool(const std::string& name);

}  // namespace korvex::test
