// libFuzzer target: the window-free command line of vantrel4. The input is split at line feeds
// into arguments; parsing either completes, stops at "/?", or raises the conversion error of
// an unreadable number. The same bytes are read as an F0 text file, and every argument goes
// through the file-name and prefiltering helpers that take texts from users and headers.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/uCommandLine.h"
#include "app/uShellTools.h"
#include "support/uExceptions.h"

namespace {

constexpr size_t kMaxArguments = 40;

// Takes the fields and lines as the main window would, without a window.
class TRecordingTarget : public vantrel::TCommandLineTarget {
  public:
    void SetField(vantrel::TCommandField field, const std::string& text) override {
        fields_[static_cast<size_t>(field)] = text;
    }
    void AppendLine(const std::string& line) override { lines_.push_back(line); }

  private:
    std::string fields_[9];
    std::vector<std::string> lines_;
};

std::vector<std::string> SplitArguments(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size && args.size() <= kMaxArguments; ++i) {
        if (data[i] == 0x0a)
            args.emplace_back();
        else
            args.back().push_back(char(data[i]));
    }
    return args;
}

// The bytes as a text file in memory, for the F0 file reader.
std::string MemoryFile(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("fuzz-f0", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
    if (size && pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> args = SplitArguments(data, size);
    (void)vantrel::HasBatchOption(args);
    (void)vantrel::HasUsageOption(args);
    (void)vantrel::IsSignalListRequest(args);
    for (const std::string& arg : args) {
        (void)vantrel::OptionForm(arg);
        (void)vantrel::IsIgnoredArgument(arg);
        (void)vantrel::ChangeFileExt(arg, ".log");
        (void)vantrel::BitmapFileName(arg);
        (void)vantrel::HeaderTextForDisplay(arg);
        (void)vantrel::FiltersFromPrefilter(arg);
    }
    TRecordingTarget target;
    vantrel::TCommandLineValues values;
    try {
        (void)vantrel::ParseCommandLine(args, target, values);
    } catch (const vantrel::EConvertError&) {
    }
    (void)vantrel::ReadF0File(MemoryFile(data, size));
    return 0;
}
