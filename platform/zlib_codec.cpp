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

struct TInflater::Stream {
    z_stream z{};
    bool ready = false;  // initialised, to be reset before the next stream
};

TInflater::TInflater() : FStream(std::make_unique<Stream>()) {}

TInflater::~TInflater() {
    if (FStream->ready) {
        inflateEnd(&FStream->z);
    }
}

InflateStatus TInflater::Inflate(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                                 std::size_t capacity, std::size_t& produced) {
    produced = 0;
    constexpr std::size_t limit = std::numeric_limits<uInt>::max();
    if (count > limit || capacity > limit) {
        return InflateStatus::Damaged;
    }
    z_stream& stream = FStream->z;
    const int setup = FStream->ready ? inflateReset(&stream) : inflateInit(&stream);
    if (setup != Z_OK) {
        return InflateStatus::Damaged;
    }
    FStream->ready = true;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(count);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(capacity);
    const int result = inflate(&stream, Z_FINISH);
    produced = stream.total_out;
    if (result == Z_STREAM_END) {
        return InflateStatus::StreamEnd;
    }
    // Without room left, zlib stops short of the end whatever follows; with room left, the
    // input ran out or was refused.
    const bool full = (result == Z_OK || result == Z_BUF_ERROR) && stream.avail_out == 0;
    return full ? InflateStatus::OutputFull : InflateStatus::Damaged;
}

bool TInflater::InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                             std::size_t expected) {
    std::size_t produced = 0;
    return Inflate(data, count, out, expected, produced) == InflateStatus::StreamEnd &&
           produced == expected;
}

InflateStatus InflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                          std::size_t capacity, std::size_t& produced) {
    return TInflater().Inflate(data, count, out, capacity, produced);
}

bool InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                  std::size_t expected) {
    return TInflater().InflateExact(data, count, out, expected);
}

}  // namespace platform
