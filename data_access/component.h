#pragma once

#include <string>

#include "platform/text.h"

namespace data_access {

// A named part of a window. While the window's resource is read, property values that would
// act (connect, open) are only recorded; Loaded applies them, component by component in
// resource order.
class TComponent {
public:
    explicit TComponent(platform::String name = {}) : FName(std::move(name)) {}
    virtual ~TComponent() = default;

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const platform::String& Name() const noexcept { return FName; }
    void SetName(platform::String name) { FName = std::move(name); }

    void BeginLoading() noexcept { FLoading = true; }
    bool Loading() const noexcept { return FLoading; }
    virtual void Loaded() { FLoading = false; }

private:
    platform::String FName;
    bool FLoading = false;
};

}  // namespace data_access
