// Root helpers: the persistent base class with Assign, the error-message container, and a wait
// that keeps the user interface responsive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// Base of objects that can copy themselves from another object with Assign. A class that does
// not know the source hands it to the inherited Assign, which raises EConvertError
// "Cannot assign a <source class> to a <this class>" ("nil" when there is no source).
class TPersistent {
  public:
    virtual ~TPersistent() = default;
    virtual const char* ClassName() const { return "TPersistent"; }
    virtual void Assign(const TPersistent* source);
};

// A list of message lines with a 32-bit value and a flag. An EDF file object may own one.
class TErrorMessage : public TPersistent {
  public:
    const char* ClassName() const override { return "TErrorMessage"; }
    // From another TErrorMessage: copies value, lines and flag. Otherwise: see TPersistent.
    void Assign(const TPersistent* source) override;

    int32_t Value = 0;               // free use by the owner
    std::vector<std::string> Lines;  // message lines, oldest first
    uint8_t Flag = 0;                // free use by the owner
};

// The application's "process pending window messages" step; the Qt shell registers its event
// processing here. Without a registered processor Delay only waits.
using TMessageProcessor = std::function<void()>;
void SetMessageProcessor(TMessageProcessor processor);

// A 32-bit millisecond tick counter that wraps after about 49.7 days. The default reads the
// monotonic clock; tests install a scripted counter to exercise the wrap.
using TTickCountSource = std::function<uint32_t()>;
void SetTickCountSource(TTickCountSource source);  // an empty function restores the default
uint32_t GetTickCount32();

// Processes pending messages, then keeps doing so until ms milliseconds have passed since the
// call. ms <= 0 processes messages once. Runs event handlers re-entrantly: call it only from the
// user-interface thread.
void Delay(int32_t ms);

}  // namespace vantrel
