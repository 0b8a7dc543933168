#pragma once

#include <cstdint>
#include <memory>

namespace data_access {

// An object shared by counting its owners: record slots keep plain references and each owner
// calls AddRef and Release itself. The counts are plain, not atomic: an object belongs to the
// thread that owns its storage.
class TSharedObject {
public:
    TSharedObject() noexcept = default;

    TSharedObject(const TSharedObject&) = delete;
    TSharedObject& operator=(const TSharedObject&) = delete;

    std::int32_t RefCount() const noexcept { return FRefCount; }
    void AddRef() noexcept { ++FRefCount; }
    // Drops one owner; the last one destroys the object. A count already at 0 (the object is
    // being destroyed) is an assertion failure naming the class and the count.
    void Release();
    // Release of an owner that may hold nil.
    static void Free(TSharedObject* object) {
        if (object) {
            object->Release();
        }
    }
    // Raises "Invalid SharedObject" once the object is being destroyed.
    void CheckValid() const;

protected:
    // Only the last Release destroys a shared object.
    virtual ~TSharedObject() = default;

private:
    std::int32_t FRefCount = 1;
};

// Releases the one reference it holds when it goes out of scope.
struct TReleaseReference {
    void operator()(TSharedObject* object) const { object->Release(); }
};

template <class T>
using TReference = std::unique_ptr<T, TReleaseReference>;

}  // namespace data_access
