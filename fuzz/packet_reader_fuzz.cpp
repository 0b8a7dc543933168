// Feeds arbitrary bytes through the packet layer as if a server had sent them: plain and
// compressed framing, joined packets, single physical packets, skipped packets, and the
// primitive readers walking each payload, under a packet limit the input chooses. Any crash or
// sanitizer report is a bug; exceptions are the expected answer to bad input.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "mysql_client/mysql_net.h"
#include "platform/exceptions.h"
#include "tests/support/memory_vio.h"

namespace {

using mysql_client::TMySqlNet;

// Reads the payload with readers chosen by the payload's own bytes.
void WalkPayload(TMySqlNet& net) {
    std::uint8_t scratch[16];
    while (net.GetPosition() < net.GetLength()) {
        switch (net.ReadByte() % 9) {
            case 0:
                net.ReadFieldLength();
                break;
            case 1:
                net.ReadString();
                break;
            case 2:
                net.ReadInt16();
                break;
            case 3:
                net.ReadInt24();
                break;
            case 4:
                net.ReadInt32();
                break;
            case 5:
                net.ReadInt64();
                break;
            case 6:
                net.ReadString(net.ReadByte() % 32);
                break;
            case 7:
                net.ReadBytes(scratch, net.ReadByte() % sizeof scratch);
                break;
            case 8:
                net.ReadError();
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    // Short socket reads of 1 to 64 bytes, or whatever is there.
    const std::size_t chunk = data[1] < 64 ? data[1] + 1u : SIZE_MAX;
    auto vio = std::make_unique<test_support::MemoryVio>(chunk);
    vio->Feed(data + 2, size - 2);

    TMySqlNet net;
    net.SetVio(std::move(vio));
    net.NewCommand();
    net.SetCompress(mode & 1);
    // 64 bytes to 2 MiB: limits that inputs reach, so that packets over them, compressed ones
    // announcing megabytes among them, are refused rather than read.
    net.SetMaxAllowedPacket(std::size_t(64) << (mode >> 4));
    for (int packet = 0; packet < 64; ++packet) {
        try {
            switch ((mode >> 1) % 3) {
                case 0:
                    net.Receive();
                    try {
                        WalkPayload(net);
                    } catch (const platform::Exception&) {
                        // A malformed payload leaves the stream in step: go on.
                    }
                    break;
                case 1:
                    net.ReceiveBuffer();
                    break;
                case 2: {
                    std::uint8_t piece[7];
                    net.SkipBuffer(piece, sizeof piece, (mode >> 3) & 1);
                    break;
                }
            }
        } catch (const platform::Exception&) {
            break;
        }
    }
    return 0;
}
