#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mysql_client {

// A growable byte array with a logical length and a position. It grows by half its size at a
// time and never shrinks while it lives, so steady traffic allocates nothing; its array is
// exposed so that readers can use received bytes in place.
class MemoryStream {
public:
    explicit MemoryStream(std::size_t initialCapacity) noexcept
        : FInitialCapacity(initialCapacity) {}

    std::uint8_t* Data() noexcept { return FData.get(); }
    const std::uint8_t* Data() const noexcept { return FData.get(); }
    std::size_t Capacity() const noexcept { return FCapacity; }
    std::size_t Length() const noexcept { return FLength; }
    std::size_t Position() const noexcept { return FPosition; }
    std::size_t Remaining() const noexcept { return FLength > FPosition ? FLength - FPosition : 0; }

    // Keeps the content up to the new length; new bytes are undefined until written.
    void SetLength(std::size_t length);
    void SetPosition(std::size_t position) noexcept { FPosition = position; }

    // Writes at the position, extending the length as needed.
    void Write(const std::uint8_t* data, std::size_t count);
    void Fill(std::uint8_t value, std::size_t count);

    // Releases the array.
    void Close() noexcept;

private:
    void Reserve(std::size_t capacity);

    std::size_t FInitialCapacity;
    std::unique_ptr<std::uint8_t[]> FData;
    std::size_t FCapacity = 0;
    std::size_t FLength = 0;
    std::size_t FPosition = 0;
};

}  // namespace mysql_client
