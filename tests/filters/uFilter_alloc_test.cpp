// Filtering a block allocates nothing: the analysis runs its two filters over every sample
// of a recording. Counts every operator new of this test program while filtering.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "filters/uFilter.h"

// The replacement pair allocates with malloc and frees with free, which GCC cannot match up.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> allocations{0};
std::atomic<bool> counting{false};
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace vantrel {
namespace {

TEST(FilterAllocation, AnalysisFiltersAllocateNothingPerBlock) {
    struct Case {
        const char* type;
        std::vector<double> settings;
    };
    const Case cases[] = {{"DUE", {56, 200, 0.5}},
                          {"DUE2007", {56, 200, 0.5}},
                          {"SE", {56, 8, 0.5, 10, 3}},
                          {"BP12", {56, 1, 0.5, 20}}};
    const std::vector<int16_t> in(4096, 1234);
    std::vector<double> out(in.size());
    for (const Case& c : cases) {
        auto filter = CreateFilter(c.type);
        auto& iir = dynamic_cast<TCustomIIRFilter&>(*filter);
        iir.IncludeInputTerms = false;
        iir.PreviousOutputWeight = 0.5;
        for (size_t i = 0; i < c.settings.size(); ++i)
            filter->SetSetting(static_cast<int32_t>(i + 1), c.settings[i]);
        filter->InputType = stInt16;
        filter->SetOutputType(stDouble);
        filter->Reset();
        allocations = 0;
        counting = true;
        for (int block = 0; block < 4; ++block)
            filter->Filter(in.data(), out.data(), 0, static_cast<int32_t>(in.size()) - 1, -1);
        counting = false;
        EXPECT_EQ(allocations, 0) << c.type;
    }
}

}  // namespace
}  // namespace vantrel
