#include "support/udRoot.h"

#include <chrono>
#include <thread>

#include "support/uExceptions.h"

namespace vantrel {

namespace {

TMessageProcessor& MessageProcessor() {
    static TMessageProcessor processor;
    return processor;
}

TTickCountSource& TickCountSource() {
    static TTickCountSource source;
    return source;
}

void ProcessMessages() {
    if (MessageProcessor()) MessageProcessor()();
}

}  // namespace

void TPersistent::Assign(const TPersistent* source) {
    const std::string from = source ? source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

void TErrorMessage::Assign(const TPersistent* source) {
    if (const auto* other = dynamic_cast<const TErrorMessage*>(source)) {
        Lines = other->Lines;
        Flag = other->Flag;
        Value = other->Value;
        return;
    }
    TPersistent::Assign(source);
}

void SetMessageProcessor(TMessageProcessor processor) {
    MessageProcessor() = std::move(processor);
}

void SetTickCountSource(TTickCountSource source) {
    TickCountSource() = std::move(source);
}

uint32_t GetTickCount32() {
    if (TickCountSource()) return TickCountSource()();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Delay(int32_t ms) {
    const uint32_t start = GetTickCount32();
    for (;;) {
        ProcessMessages();
        int64_t elapsed = static_cast<int64_t>(GetTickCount32()) - static_cast<int64_t>(start);
        if (elapsed < 0) elapsed += (int64_t{1} << 32) - 1;  // the counter wrapped
        if (ms <= elapsed) return;
        // Give the processor a moment instead of spinning a core while waiting.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

}  // namespace vantrel
