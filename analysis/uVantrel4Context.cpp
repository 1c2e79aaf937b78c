// The engine's process-wide state: the engine settings, the run context with its windows, the
// progress list and the message reporter.
#include <memory>

#include "analysis/uVantrel4.h"

namespace vantrel {

int32_t XPiBPlus = 9;
int32_t XPiBMinus = -9;
int32_t XPiBZero = 10;
double IIRBackpolate = 0.5;
std::string DUEFilterName = "DUE";
int32_t AnalysisThreads = 0;
constexpr int64_t kSmoothingMemoryBytes = int64_t{32} << 20;
int64_t SmoothingMemoryBytes = kSmoothingMemoryBytes;

void ResetEngineSettings() {
    XPiBPlus = 9;
    XPiBMinus = -9;
    XPiBZero = 10;
    IIRBackpolate = 0.5;
    DUEFilterName = "DUE";
    AnalysisThreads = 0;
    SmoothingMemoryBytes = kSmoothingMemoryBytes;
}

void TProgressList::Append(const std::string& text) {
    // One line per part: a message with line breaks must not smuggle several lines into one.
    std::string line;
    auto flush = [&] {
        FLines.push_back(line);
        if (OnAppend) OnAppend(line);
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            flush();
        } else {
            line += c;
        }
    }
    flush();
}

namespace {

class TNullProgressWindow : public TProgressWindow {
  public:
    void SetText(const std::string&) override {}
    void SetPosition(int) override {}
    bool Cancelled() const override { return false; }
    void Show() override {}
    void Hide() override {}
};

TNullEngineWindows& HeadlessWindows() {
    static TNullEngineWindows windows;
    return windows;
}

}  // namespace

std::unique_ptr<TProgressWindow> TNullEngineWindows::CreateProgress() {
    return std::make_unique<TNullProgressWindow>();
}

TRunContext& RunContext() {
    static TRunContext context = [] {
        TRunContext initial;
        initial.Windows = &HeadlessWindows();
        return initial;
    }();
    return context;
}

void SetEngineWindows(TEngineWindows* windows) {
    RunContext().Windows = windows ? windows : &HeadlessWindows();
}

TEngineWindows& EngineWindows() {
    TRunContext& context = RunContext();
    if (!context.Windows) context.Windows = &HeadlessWindows();
    return *context.Windows;
}

void ReportMessage(const std::string& text) {
    const TRunContext& context = RunContext();
    if (context.BatchMode) {
        if (context.ProgressList) context.ProgressList->Append(text);
    } else {
        EngineWindows().ShowError(text);
    }
}

}  // namespace vantrel
