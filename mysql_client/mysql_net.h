#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mysql_client/memory_stream.h"
#include "mysql_client/vio.h"
#include "platform/zlib_codec.h"

namespace mysql_client {

// The packet layer: frames, splits and joins MySQL protocol packets over a transport, checks
// sequence numbers, recognises error packets and, once agreed, wraps everything in the
// compressed framing. It also offers the primitive readers and writers payloads are made of.
//
// Every reader checks the payload's bounds: reading past the end of a packet raises
// EMySqlException 2027 (malformed packet) with a detail naming what was read where. Without a
// transport, reads and writes raise 2006 (server gone).
//
// Nothing the server sends grows memory past the connection's packet limit: a logical packet
// (joined or single, plain or inside the compressed framing) that would exceed it raises 2020
// before anything is allocated for it. That error, like a failed read or write (2013), closes the
// connection: the stream is no longer in step.
class TMySqlNet {
public:
    static constexpr std::size_t NET_HEADER_SIZE = 4;
    static constexpr std::size_t COMP_HEADER_SIZE = 3;
    static constexpr std::size_t BufferLength = 8192;
    // The default packet limit.
    static constexpr std::size_t MaxAllowedPacket = 0x40000000;
    static constexpr std::size_t MaxPacketLength = 0xFFFFFF;
    static constexpr std::int64_t NullLength = -1;

    TMySqlNet();
    ~TMySqlNet();

    TMySqlNet(const TMySqlNet&) = delete;
    TMySqlNet& operator=(const TMySqlNet&) = delete;

    // Takes the transport over, closing and freeing the previous one.
    void SetVio(std::unique_ptr<TCRVio> vio);
    TCRVio* GetVio() const noexcept { return Fvio.get(); }
    // Releases both buffers, then closes and frees the transport (also when closing fails).
    void Close();

    bool GetCompress() const noexcept { return FCompress; }
    void SetCompress(bool value) noexcept { FCompress = value; }

    // The largest logical packet accepted from the server, in bytes.
    std::size_t GetMaxAllowedPacket() const noexcept { return FMaxAllowedPacket; }
    void SetMaxAllowedPacket(std::size_t value) noexcept { FMaxAllowedPacket = value; }

    // Building and sending; all writes append at the buffer's position, little-endian.
    void NewCommand();
    void Clear();
    void WriteByte(std::uint8_t value);
    void WriteBool(bool value);
    void WriteInt16(std::uint16_t value);
    void WriteInt24(std::uint32_t value);
    void WriteInt32(std::uint32_t value);
    void WriteInt64(std::uint64_t value);
    void WriteBytes(const std::uint8_t* data, std::size_t count);
    void WriteBytes(std::string_view bytes);
    // The 8-bit text followed by a NUL byte.
    void WriteString(std::string_view text);
    void WriteFieldLength(std::uint64_t value);
    void Fill(std::uint8_t value, std::size_t count);
    // Appends the last, possibly huge, part of the payload: splits it at MaxPacketLength and
    // streams what exceeds the staging buffer straight from data. Must be the last write before
    // Send.
    void WriteOrSendBytes(const std::uint8_t* data, std::size_t count);
    void Send();
    void SendEmpty();

    // Receiving. Receive reads one logical packet (joining split ones) into the buffer at
    // position 0 and raises the server's error if it is an error packet.
    void Receive();
    // Exactly one physical packet, never empty, into a new array.
    std::vector<std::uint8_t> ReceiveBuffer();
    // Reads and discards one physical packet in pieces of at most length bytes at buffer;
    // returns the packet's length. With firstPacket, an error packet raises, and buffer[0]
    // keeps the packet's first byte; otherwise buffer[0] becomes 0.
    std::size_t SkipBuffer(std::uint8_t* buffer, std::size_t length, bool firstPacket);

    std::uint8_t ReadByte();
    std::int16_t ReadInt16();
    std::uint16_t ReadUInt16();
    std::uint32_t ReadInt24();
    std::int32_t ReadInt32();
    std::int64_t ReadInt64();
    void ReadBytes(std::uint8_t* bytes, std::size_t count);
    std::string ReadString(std::size_t count);
    // Up to the next NUL, which is skipped; the rest of the payload when there is none.
    std::string ReadString();
    // A length-encoded integer; NullLength for the NULL marker.
    std::int64_t ReadFieldLength();
    // Raises the server's error when the next byte starts an error packet.
    void ReadError();

    std::uint8_t* GetBuffer() noexcept { return Fbuffer.Data(); }
    std::size_t GetLength() const noexcept { return Fbuffer.Length(); }
    void SetLength(std::size_t length) { Fbuffer.SetLength(length); }
    std::size_t GetPosition() const noexcept { return Fbuffer.Position(); }
    void SetPosition(std::size_t position) noexcept { Fbuffer.SetPosition(position); }

private:
    const std::uint8_t* Take(std::size_t count, const char* reader);
    void WriteHeader(std::size_t length);
    void WriteBuff(const std::uint8_t* data, std::size_t count, std::size_t packetLength);
    void RealSend(const std::uint8_t* data, std::size_t count);
    void SendCompressed(const std::uint8_t* data, std::size_t count);
    // Raises 2020 and closes the connection when length exceeds limit.
    void CheckPacketLength(const char* where, std::size_t length, std::size_t limit);
    void RealReceive(std::uint8_t* buffer, std::size_t count);
    void ReceiveCompressedPackets();
    std::size_t TakeDecompressed(std::uint8_t* buffer, std::size_t count) noexcept;
    std::size_t ReceiveHeader();
    void FollowCompressedNumber() noexcept;
    void VioRead(std::uint8_t* buffer, std::size_t count);
    void VioWrite(const std::uint8_t* data, std::size_t count);
    // Closes the connection and raises 2013 with the transport's error.
    [[noreturn]] void Lost();

    std::unique_ptr<TCRVio> Fvio;
    MemoryStream Fbuffer{BufferLength};
    MemoryStream FCompressBuffer{100};
    // Compressed bytes on their way out or in.
    MemoryStream FCompressScratch{BufferLength};
    platform::TInflater FInflater;
    std::uint8_t FPacketNumber = 0;
    std::uint8_t FComprPacketNumber = 0;
    std::uint8_t FHeader[NET_HEADER_SIZE] = {};
    std::uint8_t FCompressHeader[NET_HEADER_SIZE + COMP_HEADER_SIZE] = {};
    bool FCompress = false;
    std::size_t FMaxAllowedPacket = MaxAllowedPacket;
    // The payload finished by WriteOrSendBytes filled its last physical packet exactly, so Send
    // owes the receiver an empty packet.
    bool FEndsWithFullPacket = false;
};

}  // namespace mysql_client
