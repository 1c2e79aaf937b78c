// The program's name and version: what `vantrel4 --version` prints and what every run record
// keeps, so that a result can be traced to the build that made it.
#pragma once

#include <string>

namespace vantrel {

// "vantrel4".
inline constexpr const char* kProgramName = "vantrel4";

// The project version, followed by `git describe` of the checkout it was built from when there
// was one: "0.1 (git b059987-dirty)". Written at build time.
const char* ProgramVersion();

// The name and the version on one line: "vantrel4 0.1 (git b059987)".
inline std::string VersionText() {
    return std::string(kProgramName) + " " + ProgramVersion();
}

}  // namespace vantrel
