#include "platform/zlib_codec.h"

#include <zlib.h>

#include <limits>

namespace platform {

std::size_t DeflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                        std::size_t capacity) {
    uLongf length = capacity;
    if (compress2(out, &length, data, count, Z_DEFAULT_COMPRESSION) != Z_OK) {
        return 0;
    }
    return length;
}

bool InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                  std::size_t expected) {
    constexpr std::size_t limit = std::numeric_limits<uInt>::max();
    if (count > limit || expected > limit) {
        return false;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return false;
    }
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(count);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(expected);
    // Z_STREAM_END only when the whole stream, trailer checked, fitted in the output.
    const int result = inflate(&stream, Z_FINISH);
    const bool exact = result == Z_STREAM_END && stream.total_out == expected;
    inflateEnd(&stream);
    return exact;
}

InflateStatus InflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                          std::size_t capacity, std::size_t& produced) {
    produced = 0;
    constexpr std::size_t limit = std::numeric_limits<uInt>::max();
    if (count > limit || capacity > limit) {
        return InflateStatus::Damaged;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return InflateStatus::Damaged;
    }
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(count);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(capacity);
    const int result = inflate(&stream, Z_FINISH);
    produced = stream.total_out;
    inflateEnd(&stream);
    if (result == Z_STREAM_END) {
        return InflateStatus::StreamEnd;
    }
    // Without room left, zlib stops short of the end whatever follows; with room left, the
    // input ran out or was refused.
    const bool full = (result == Z_OK || result == Z_BUF_ERROR) && stream.avail_out == 0;
    return full ? InflateStatus::OutputFull : InflateStatus::Damaged;
}

}  // namespace platform
