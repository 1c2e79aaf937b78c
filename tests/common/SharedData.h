// Access to the real recordings that other systems wrote (../shared/data beside the checkout).
//
// Tests that read them start with VANTREL_NEED_SHARED_DATA(): when the folder is missing the test
// is skipped with the reason, unless VANTREL_REQUIRE_SHARED_DATA=1 is set (as CI does), in which
// case it fails.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vantrel_test {

// $VANTREL_SHARED_DATA when set, else <source dir>/../shared/data.
inline std::filesystem::path SharedDataDir() {
    if (const char* env = std::getenv("VANTREL_SHARED_DATA"); env && *env) return env;
    return std::filesystem::path(VANTREL_SOURCE_DIR) / ".." / "shared" / "data";
}

inline bool SharedDataRequired() {
    const char* env = std::getenv("VANTREL_REQUIRE_SHARED_DATA");
    return env && std::string(env) == "1";
}

// The .edf files of the shared data folder, sorted by name; empty when the folder is missing.
inline std::vector<std::filesystem::path> SharedRecordings() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(SharedDataDir(), ec))
        if (entry.path().extension() == ".edf") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace vantrel_test

#define VANTREL_NEED_SHARED_DATA()                                                             \
    do {                                                                                       \
        if (!std::filesystem::is_directory(vantrel_test::SharedDataDir())) {                   \
            if (vantrel_test::SharedDataRequired())                                            \
                FAIL() << "shared recordings missing at " << vantrel_test::SharedDataDir()     \
                       << " and VANTREL_REQUIRE_SHARED_DATA=1";                                \
            GTEST_SKIP() << "shared recordings not found at " << vantrel_test::SharedDataDir() \
                         << " (place ../shared/data beside the checkout to run this test)";    \
        }                                                                                      \
    } while (0)
