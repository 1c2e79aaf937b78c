// Where the benchmarks write the recordings they generate: $VANTREL_BENCH_DIR, or the system's
// temporary directory.
#pragma once

#include <cstdlib>
#include <filesystem>

inline std::filesystem::path BenchDir() {
    if (const char* env = std::getenv("VANTREL_BENCH_DIR"); env && *env) return env;
    return std::filesystem::temp_directory_path();
}
