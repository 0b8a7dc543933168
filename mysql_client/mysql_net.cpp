#include "mysql_client/mysql_net.h"

#include <algorithm>
#include <cstring>

#include "mysql_client/mysql_errors.h"
#include "platform/exceptions.h"
#include "platform/format.h"
#include "platform/zlib_codec.h"

namespace mysql_client {

namespace {

// Payloads this short are never worth compressing.
constexpr std::size_t MinCompressLength = 50;
constexpr std::uint8_t ErrorPacketMarker = 0xFF;

std::size_t ReadLE24(const std::uint8_t* bytes) noexcept {
    return std::size_t(bytes[0]) | std::size_t(bytes[1]) << 8 | std::size_t(bytes[2]) << 16;
}

void WriteLE24(std::uint8_t* bytes, std::size_t value) noexcept {
    bytes[0] = std::uint8_t(value);
    bytes[1] = std::uint8_t(value >> 8);
    bytes[2] = std::uint8_t(value >> 16);
}

std::uint64_t ReadLE(const std::uint8_t* bytes, std::size_t count) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// What a logical packet of this payload takes in plain framing: the payload and the header of each
// of its physical packets.
std::size_t FramedLength(std::size_t payload) noexcept {
    return payload + TMySqlNet::NET_HEADER_SIZE * (payload / TMySqlNet::MaxPacketLength + 1);
}

EMySqlException OutOfOrder(const char* where, int received, int expected) {
    return EMySqlException(
        ER_NET_PACKETS_OUT_OF_ORDER,
        platform::Format("%s: Net packets out of order: received[%d], expected[%d]", where,
                         received, expected));
}

}  // namespace

TMySqlNet::TMySqlNet() = default;

TMySqlNet::~TMySqlNet() {
    try {
        Close();
    } catch (...) {
        // A transport that fails to close is gone all the same.
    }
}

void TMySqlNet::SetVio(std::unique_ptr<TCRVio> vio) {
    std::unique_ptr<TCRVio> previous = std::move(Fvio);
    Fvio = std::move(vio);
    if (previous) {
        previous->Close();
    }
}

void TMySqlNet::Close() {
    Fbuffer.Close();
    FCompressBuffer.Close();
    FCompressScratch.Close();
    if (std::unique_ptr<TCRVio> vio = std::move(Fvio)) {
        vio->Close();
    }
}

// --- building and sending ---------------------------------------------------------------------

void TMySqlNet::NewCommand() {
    FPacketNumber = 0;
    FComprPacketNumber = 0;
    Clear();
}

void TMySqlNet::Clear() {
    Fbuffer.SetLength(NET_HEADER_SIZE);
    Fbuffer.SetPosition(NET_HEADER_SIZE);
    FEndsWithFullPacket = false;
}

void TMySqlNet::WriteByte(std::uint8_t value) {
    Fbuffer.Write(&value, 1);
}

void TMySqlNet::WriteBool(bool value) {
    WriteByte(value ? 1 : 0);
}

void TMySqlNet::WriteInt16(std::uint16_t value) {
    const std::uint8_t bytes[] = {std::uint8_t(value), std::uint8_t(value >> 8)};
    Fbuffer.Write(bytes, sizeof bytes);
}

void TMySqlNet::WriteInt24(std::uint32_t value) {
    std::uint8_t bytes[3];
    WriteLE24(bytes, value);
    Fbuffer.Write(bytes, sizeof bytes);
}

void TMySqlNet::WriteInt32(std::uint32_t value) {
    const std::uint8_t bytes[] = {std::uint8_t(value), std::uint8_t(value >> 8),
                                  std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
    Fbuffer.Write(bytes, sizeof bytes);
}

void TMySqlNet::WriteInt64(std::uint64_t value) {
    WriteInt32(std::uint32_t(value));
    WriteInt32(std::uint32_t(value >> 32));
}

void TMySqlNet::WriteBytes(const std::uint8_t* data, std::size_t count) {
    Fbuffer.Write(data, count);
}

void TMySqlNet::WriteBytes(std::string_view bytes) {
    WriteBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void TMySqlNet::WriteString(std::string_view text) {
    WriteBytes(text);
    WriteByte(0);
}

void TMySqlNet::WriteFieldLength(std::uint64_t value) {
    if (value <= 250) {
        WriteByte(std::uint8_t(value));
    } else if (value <= 0xFFFF) {
        WriteByte(0xFC);
        WriteInt16(std::uint16_t(value));
    } else if (value <= 0xFFFFFF) {
        WriteByte(0xFD);
        WriteInt24(std::uint32_t(value));
    } else {
        WriteByte(0xFE);
        WriteInt64(value);
    }
}

void TMySqlNet::Fill(std::uint8_t value, std::size_t count) {
    Fbuffer.Fill(value, count);
}

void TMySqlNet::WriteHeader(std::size_t length) {
    std::uint8_t* header = Fbuffer.Data();
    WriteLE24(header, length);
    header[3] = FPacketNumber++;
}

void TMySqlNet::WriteOrSendBytes(const std::uint8_t* data, std::size_t count) {
    std::size_t buffered = Fbuffer.Length() - NET_HEADER_SIZE;
    std::size_t total = buffered + count;
    if (total < MaxPacketLength) {
        WriteBuff(data, count, total);
        return;
    }
    while (total >= MaxPacketLength) {
        const std::size_t part = MaxPacketLength - buffered;
        WriteBuff(data, part, MaxPacketLength);
        data += part;
        total -= part + buffered;
        buffered = 0;
    }
    WriteBuff(data, total, total);
    FEndsWithFullPacket = total == 0;
}

void TMySqlNet::WriteBuff(const std::uint8_t* data, std::size_t count, std::size_t packetLength) {
    if (Fbuffer.Length() < BufferLength) {
        const std::size_t staged = std::min(BufferLength - Fbuffer.Length(), count);
        Fbuffer.Write(data, staged);
        data += staged;
        count -= staged;
    }
    if (count == 0) {
        return;
    }
    // The packet outgrows the staging buffer: its header and first bytes go out from the
    // buffer, the rest straight from the caller's memory.
    WriteHeader(packetLength);
    RealSend(Fbuffer.Data(), Fbuffer.Length());
    Clear();
    RealSend(data, count);
}

void TMySqlNet::Send() {
    const bool owesEmptyPacket = FEndsWithFullPacket;
    if (Fbuffer.Length() != NET_HEADER_SIZE) {
        const std::size_t payload = Fbuffer.Length() - NET_HEADER_SIZE;
        platform::Assert(payload < MaxPacketLength,
                         "TMySqlNet.Send: huge payloads must go through WriteOrSendBytes");
        WriteHeader(payload);
        RealSend(Fbuffer.Data(), Fbuffer.Length());
        Clear();
    }
    FollowCompressedNumber();
    if (owesEmptyPacket) {
        SendEmpty();
    }
}

void TMySqlNet::SendEmpty() {
    platform::Assert(Fbuffer.Length() == NET_HEADER_SIZE, "TMySqlNet.SendEmpty: payload pending");
    WriteHeader(0);
    RealSend(Fbuffer.Data(), NET_HEADER_SIZE);
    FollowCompressedNumber();
}

void TMySqlNet::FollowCompressedNumber() noexcept {
    // Under compression the plain and compressed counters go on together.
    if (FCompress) {
        FPacketNumber = FComprPacketNumber;
    }
}

void TMySqlNet::RealSend(const std::uint8_t* data, std::size_t count) {
    if (FCompress) {
        SendCompressed(data, count);
    } else {
        VioWrite(data, count);
    }
}

void TMySqlNet::SendCompressed(const std::uint8_t* data, std::size_t count) {
    constexpr std::size_t header = NET_HEADER_SIZE + COMP_HEADER_SIZE;
    const std::size_t area = count + count / 5 + 12;
    FCompressScratch.SetLength(header + area);
    std::uint8_t* packet = FCompressScratch.Data();

    std::size_t stored = 0;
    if (count > MinCompressLength) {
        stored = platform::DeflateInto(data, count, packet + header, area);
    }
    const bool compressed = stored > 0 && stored <= MaxPacketLength;
    if (!compressed) {
        stored = count;
        std::memcpy(packet + header, data, count);
    }
    platform::Assert(stored <= MaxPacketLength, "TMySqlNet: compressed packet too long");
    WriteLE24(packet, stored);
    packet[3] = FComprPacketNumber++;
    WriteLE24(packet + NET_HEADER_SIZE, compressed ? count : 0);
    VioWrite(packet, header + stored);
}

// --- receiving --------------------------------------------------------------------------------

std::size_t TMySqlNet::ReceiveHeader() {
    RealReceive(FHeader, NET_HEADER_SIZE);
    if (!FCompress) {
        const std::uint8_t expected = FPacketNumber++;
        FComprPacketNumber = FPacketNumber;
        if (FHeader[3] != expected) {
            throw OutOfOrder("ReceiveHeader", FHeader[3], expected);
        }
    }
    return ReadLE24(FHeader);
}

void TMySqlNet::CheckPacketLength(const char* where, std::size_t length, std::size_t limit) {
    if (length <= limit) {
        return;
    }
    Close();
    throw EMySqlException(
        CR_NET_PACKET_TOO_LARGE,
        platform::Format("%s: %zu bytes announced, at most %zu allowed", where, length, limit));
}

void TMySqlNet::Receive() {
    std::size_t total = 0;
    std::size_t length;
    do {
        length = ReceiveHeader();
        CheckPacketLength("Receive", total + length, FMaxAllowedPacket);
        Fbuffer.SetLength(total + length);
        RealReceive(Fbuffer.Data() + total, length);
        total += length;
    } while (length == MaxPacketLength);
    Fbuffer.SetPosition(0);
    ReadError();
}

std::vector<std::uint8_t> TMySqlNet::ReceiveBuffer() {
    const std::size_t length = ReceiveHeader();
    CheckPacketLength("ReceiveBuffer", length, FMaxAllowedPacket);
    if (length == 0) {
        throw EMySqlException(CR_MALFORMED_PACKET, "ReceiveBuffer: empty packet");
    }
    if (length == MaxPacketLength) {
        throw platform::EArgumentException("Cannot retrieve huge data in FetchAll mode");
    }
    std::vector<std::uint8_t> bytes(length);
    RealReceive(bytes.data(), length);
    if (bytes[0] == ErrorPacketMarker) {
        Fbuffer.SetLength(0);
        Fbuffer.SetPosition(0);
        Fbuffer.Write(bytes.data(), length);
        Fbuffer.SetPosition(0);
        ReadError();
    }
    return bytes;
}

std::size_t TMySqlNet::SkipBuffer(std::uint8_t* buffer, std::size_t length, bool firstPacket) {
    platform::Assert(length > 0, "TMySqlNet.SkipBuffer: no room for a piece");
    const std::size_t packetLength = ReceiveHeader();
    std::uint8_t firstByte = 0;
    for (std::size_t left = packetLength; left > 0;) {
        const std::size_t piece = std::min(length, left);
        RealReceive(buffer, piece);
        if (left == packetLength) {
            firstByte = buffer[0];
            if (firstPacket && firstByte == ErrorPacketMarker) {
                Fbuffer.SetLength(0);
                Fbuffer.SetPosition(0);
                Fbuffer.Write(buffer, piece);
                Fbuffer.SetPosition(0);
                ReadError();
            }
        }
        left -= piece;
    }
    if (packetLength > 0) {
        buffer[0] = firstPacket ? firstByte : 0;
    }
    return packetLength;
}

void TMySqlNet::RealReceive(std::uint8_t* buffer, std::size_t count) {
    if (!FCompress) {
        VioRead(buffer, count);
        return;
    }
    std::size_t taken = TakeDecompressed(buffer, count);
    while (taken < count) {
        FCompressBuffer.SetLength(0);
        FCompressBuffer.SetPosition(0);
        ReceiveCompressedPackets();
        taken += TakeDecompressed(buffer + taken, count - taken);
    }
}

std::size_t TMySqlNet::TakeDecompressed(std::uint8_t* buffer, std::size_t count) noexcept {
    const std::size_t n = std::min(count, FCompressBuffer.Remaining());
    if (n > 0) {
        std::memcpy(buffer, FCompressBuffer.Data() + FCompressBuffer.Position(), n);
        FCompressBuffer.SetPosition(FCompressBuffer.Position() + n);
    }
    if (FCompressBuffer.Remaining() == 0) {
        FCompressBuffer.SetLength(0);
        FCompressBuffer.SetPosition(0);
    }
    return n;
}

void TMySqlNet::ReceiveCompressedPackets() {
    std::size_t payloadLength;
    do {
        VioRead(FCompressHeader, sizeof FCompressHeader);
        const std::uint8_t expected = FPacketNumber++;
        FComprPacketNumber = FPacketNumber;
        if (FCompressHeader[3] != expected) {
            throw OutOfOrder("ReceiveCompHeader", FCompressHeader[3], expected);
        }
        const std::size_t stored = ReadLE24(FCompressHeader);
        const std::size_t uncompressed = ReadLE24(FCompressHeader + NET_HEADER_SIZE);
        const std::size_t start = FCompressBuffer.Length();
        // The joined packets hold at most one logical packet at the limit with its headers.
        CheckPacketLength("ReceiveCompressedPackets",
                          start + (uncompressed > 0 ? uncompressed : stored),
                          FramedLength(FMaxAllowedPacket));
        if (uncompressed > 0) {
            FCompressScratch.SetLength(stored);
            VioRead(FCompressScratch.Data(), stored);
            FCompressBuffer.SetLength(start + uncompressed);
            if (!FInflater.InflateExact(FCompressScratch.Data(), stored,
                                        FCompressBuffer.Data() + start, uncompressed)) {
                throw EMySqlException(
                    ER_NET_UNCOMPRESS_ERROR,
                    platform::Format(
                        "Compressed packet does not inflate to its announced %zu bytes",
                        uncompressed));
            }
            payloadLength = uncompressed;
        } else {
            FCompressBuffer.SetLength(start + stored);
            VioRead(FCompressBuffer.Data() + start, stored);
            payloadLength = stored;
        }
    } while (payloadLength == MaxPacketLength);
}

void TMySqlNet::VioRead(std::uint8_t* buffer, std::size_t count) {
    if (!Fvio) {
        throw EMySqlException(CR_SERVER_GONE_ERROR);
    }
    if (Fvio->Read(buffer, count) != count) {
        Lost();
    }
}

void TMySqlNet::VioWrite(const std::uint8_t* data, std::size_t count) {
    if (!Fvio) {
        throw EMySqlException(CR_SERVER_GONE_ERROR);
    }
    if (Fvio->Write(data, count) != count) {
        Lost();
    }
}

void TMySqlNet::Lost() {
    // Part of a packet may have moved: nothing after it can be read or written in step.
    EMySqlException error(CR_SERVER_LOST, Fvio->LastError());
    Close();
    throw error;
}

// --- reading the payload ----------------------------------------------------------------------

const std::uint8_t* TMySqlNet::Take(std::size_t count, const char* reader) {
    if (Fbuffer.Remaining() < count) {
        throw EMySqlException(
            CR_MALFORMED_PACKET,
            platform::Format("%s needs %zu bytes at position %zu of a %zu-byte packet", reader,
                             count, Fbuffer.Position(), Fbuffer.Length()));
    }
    const std::uint8_t* bytes = Fbuffer.Data() + Fbuffer.Position();
    Fbuffer.SetPosition(Fbuffer.Position() + count);
    return bytes;
}

std::uint8_t TMySqlNet::ReadByte() {
    return *Take(1, "ReadByte");
}

std::int16_t TMySqlNet::ReadInt16() {
    return static_cast<std::int16_t>(ReadLE(Take(2, "ReadInt16"), 2));
}

std::uint16_t TMySqlNet::ReadUInt16() {
    return static_cast<std::uint16_t>(ReadLE(Take(2, "ReadUInt16"), 2));
}

std::uint32_t TMySqlNet::ReadInt24() {
    return static_cast<std::uint32_t>(ReadLE24(Take(3, "ReadInt24")));
}

std::int32_t TMySqlNet::ReadInt32() {
    return static_cast<std::int32_t>(ReadLE(Take(4, "ReadInt32"), 4));
}

std::int64_t TMySqlNet::ReadInt64() {
    return static_cast<std::int64_t>(ReadLE(Take(8, "ReadInt64"), 8));
}

void TMySqlNet::ReadBytes(std::uint8_t* bytes, std::size_t count) {
    if (count > 0) {
        std::memcpy(bytes, Take(count, "ReadBytes"), count);
    }
}

std::string TMySqlNet::ReadString(std::size_t count) {
    const std::uint8_t* bytes = Take(count, "ReadString");
    return std::string(reinterpret_cast<const char*>(bytes), count);
}

std::string TMySqlNet::ReadString() {
    const std::size_t remaining = Fbuffer.Remaining();
    const char* start = reinterpret_cast<const char*>(Fbuffer.Data() + Fbuffer.Position());
    const char* nul =
        remaining > 0 ? static_cast<const char*>(std::memchr(start, 0, remaining)) : nullptr;
    const std::size_t length = nul ? std::size_t(nul - start) : remaining;
    Fbuffer.SetPosition(Fbuffer.Position() + length + (nul ? 1 : 0));
    return std::string(start, length);
}

std::int64_t TMySqlNet::ReadFieldLength() {
    const std::uint8_t marker = ReadByte();
    switch (marker) {
        case 0xFB:
            return NullLength;
        case 0xFC:
            return ReadUInt16();
        case 0xFD:
            return ReadInt24();
        case 0xFE:
            return ReadInt64();
        case 0xFF:
            throw EMySqlException(
                CR_MALFORMED_PACKET,
                platform::Format("ReadFieldLength: invalid length marker 0xFF at position %zu",
                                 Fbuffer.Position() - 1));
        default:
            return marker;
    }
}

void TMySqlNet::ReadError() {
    if (Fbuffer.Remaining() == 0 || Fbuffer.Data()[Fbuffer.Position()] != ErrorPacketMarker) {
        return;
    }
    Fbuffer.SetPosition(Fbuffer.Position() + 1);
    const int code = ReadInt16();
    throw EMySqlException(code, ReadString());
}

}  // namespace mysql_client
