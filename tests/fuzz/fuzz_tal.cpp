// libFuzzer target: arbitrary bytes as one annotation signal's part of a data record. The TAL
// parser must never raise, crash or read beyond the bytes, and what it gives must hold together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "edf/uEDFAnnotations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const vantrel::TEDFTalRecord record = vantrel::ParseTalRecord(bytes);
    if (record.HasTimeKeeping == record.StartText.empty()) std::abort();
    for (const vantrel::TEDFTal& tal : record.Tals) {
        if (tal.OnsetText.empty() || tal.Texts.empty()) std::abort();
        if (tal.HasDuration == tal.DurationText.empty() || tal.Duration < 0) std::abort();
        for (const auto& text : tal.Texts)
            if (text.empty() || text.find('\x14') != text.npos || text.find('\0') != text.npos)
                std::abort();
    }
    return 0;
}
