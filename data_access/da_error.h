#pragma once

#include <string>

#include "platform/exceptions.h"

namespace data_access {

class TComponent;

// A provider error: the database error with the provider's code and the component that owns the
// failing connection.
class EDAError : public platform::EDatabaseError {
public:
    EDAError(int code, std::string message)
        : EDatabaseError(std::move(message)), FErrorCode(code) {}

    int ErrorCode() const noexcept { return FErrorCode; }
    // The connection is gone, so its component closes itself.
    virtual bool IsFatalError() const noexcept { return false; }
    TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(TComponent* component) noexcept { FComponent = component; }

private:
    int FErrorCode;
    TComponent* FComponent = nullptr;
};

}  // namespace data_access
