#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A readable and writable sequence of bytes with a position.
class TStream {
public:
    virtual ~TStream() = default;

    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    std::int64_t Size();
};

}  // namespace platform
