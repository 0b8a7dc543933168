#pragma once

#include <exception>

#include "data_access/da_error.h"

namespace data_access {

// A provider error as the components raise it: the provider's message, code and component, with
// the provider's error kept as the inner one, whose verdict on the connection it repeats.
class EUniError : public EDAError {
public:
    // innerError holds inner itself, with its own type (std::current_exception() in a handler).
    EUniError(const EDAError& inner, std::exception_ptr innerError)
        : EDAError(inner.ErrorCode(), inner.what()),
          FInnerError(std::move(innerError)),
          FFatal(inner.IsFatalError()) {
        SetComponent(inner.Component());
    }

    bool IsFatalError() const noexcept override { return FFatal; }
    const std::exception_ptr& InnerError() const noexcept { return FInnerError; }

private:
    std::exception_ptr FInnerError;
    bool FFatal;
};

}  // namespace data_access
