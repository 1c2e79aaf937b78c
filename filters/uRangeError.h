// The range error of the filter library: a setting index outside a filter's settings, a
// setting value the filter cannot work with, or an index outside a list or an array.
#pragma once

#include "support/uExceptions.h"

namespace vantrel {

// Messages: "Index out of range", or "<class name>: Filter setting <index> out of range".
class ERangeError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "ERangeError"; }
};

}  // namespace vantrel
