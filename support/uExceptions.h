// The exception classes shared by every library. Each carries a fixed English message; the
// application decides what a person sees. ClassName() gives the class name used in messages
// such as "Cannot assign a %s to a %s" and in the filter settings errors.
#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// Base of every exception this system raises.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* ClassName() const { return "Exception"; }
    std::string Message() const { return what(); }
};

// A text could not be converted to a value, or a value to a text.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EConvertError"; }
};

// An operation that the object does not support.
class EInvalidOperation : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EInvalidOperation"; }
};

// An index or a value outside its range: "Index out of range", or a filter setting that the
// filter cannot work with ("<class name>: Filter setting <index> out of range").
class ERangeError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "ERangeError"; }
};

}  // namespace vantrel
