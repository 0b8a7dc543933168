#include "mysql_client/mysql_net.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "mysql_client/mysql_errors.h"
#include "tests/mysql_client/packet_bytes.h"
#include "tests/support/memory_vio.h"

namespace {

using mysql_client::EMySqlException;
using mysql_client::TMySqlNet;
using test_support::Append;
using test_support::Bytes;
using test_support::MemoryVio;
using test_support::Packet;
using test_support::Pattern;
using test_support::ToBytes;

constexpr std::size_t Max = TMySqlNet::MaxPacketLength;

Bytes Deflate(const Bytes& plain) {
    uLongf length = compressBound(plain.size());
    Bytes out(length);
    EXPECT_EQ(compress(out.data(), &length, plain.data(), plain.size()), Z_OK);
    out.resize(length);
    return out;
}

Bytes Inflate(const Bytes& stored, std::size_t length) {
    Bytes out(length);
    uLongf outLength = length;
    EXPECT_EQ(uncompress(out.data(), &outLength, stored.data(), stored.size()), Z_OK);
    EXPECT_EQ(outLength, length);
    return out;
}

// A compressed packet: stored length, sequence number, uncompressed length (0: stored raw).
Bytes CompressedPacket(std::uint8_t sequence, const Bytes& plain, bool deflate) {
    const Bytes stored = deflate ? Deflate(plain) : plain;
    const std::size_t n = stored.size();
    const std::size_t u = deflate ? plain.size() : 0;
    Bytes bytes = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), sequence,
                   std::uint8_t(u), std::uint8_t(u >> 8), std::uint8_t(u >> 16)};
    Append(bytes, stored);
    return bytes;
}

// Splits a stream of compressed packets back into the plain stream they carry, checking the
// compressed sequence numbers run from 0.
Bytes Decompress(const Bytes& wire, int* packets = nullptr) {
    Bytes plain;
    std::size_t pos = 0;
    int count = 0;
    while (pos < wire.size()) {
        const std::size_t n = wire[pos] | wire[pos + 1] << 8 | wire[pos + 2] << 16;
        EXPECT_EQ(wire[pos + 3], count % 256);
        const std::size_t u = wire[pos + 4] | wire[pos + 5] << 8 | wire[pos + 6] << 16;
        const Bytes stored(wire.begin() + pos + 7, wire.begin() + pos + 7 + n);
        Append(plain, u > 0 ? Inflate(stored, u) : stored);
        pos += 7 + n;
        ++count;
    }
    if (packets) {
        *packets = count;
    }
    return plain;
}

class PacketLayer : public ::testing::Test {
protected:
    void SetUp() override {
        auto transport = std::make_unique<MemoryVio>();
        vio = transport.get();
        net.SetVio(std::move(transport));
        net.NewCommand();
    }

    void SendPayload(const Bytes& payload) {
        net.WriteOrSendBytes(payload.data(), payload.size());
        net.Send();
    }

    Bytes ReceivedPayload() { return Bytes(net.GetBuffer(), net.GetBuffer() + net.GetLength()); }

    // Puts one packet with this payload in the read buffer, ready for the readers.
    void Load(const Bytes& payload) {
        vio->Feed(Packet(0, payload));
        net.NewCommand();
        net.Receive();
    }

    TMySqlNet net;
    MemoryVio* vio = nullptr;
};

// Expects statement to raise EMySqlException with this code and message.
#define EXPECT_MYSQL_ERROR(statement, code, message)      \
    try {                                                 \
        statement;                                        \
        ADD_FAILURE() << "no exception from " #statement; \
    } catch (const EMySqlException& e) {                  \
        EXPECT_EQ(e.ErrorCode(), code);                   \
        EXPECT_EQ(e.Message(), message);                  \
    }

// --- sending ----------------------------------------------------------------------------------

struct FramingCase {
    std::size_t payload;
    std::vector<std::size_t> writes;
};

class SendFraming : public PacketLayer, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(SendFraming, StagesSmallPayloadsAndStreamsTheRest) {
    const Bytes payload = Pattern(GetParam().payload);
    SendPayload(payload);

    std::vector<std::size_t> sizes;
    for (const auto& write : vio->Writes()) {
        sizes.push_back(write.size());
    }
    EXPECT_EQ(sizes, GetParam().writes);
    EXPECT_EQ(vio->Written(), Packet(0, payload));
}

INSTANTIATE_TEST_SUITE_P(Payloads, SendFraming,
                         ::testing::Values(FramingCase{10, {14}}, FramingCase{8188, {8192}},
                                           FramingCase{8189, {8192, 1}},
                                           FramingCase{20000, {8192, 11812}}),
                         [](const auto& info) { return std::to_string(info.param.payload); });

TEST_F(PacketLayer, SendsTenBytePayloadAsOneWriteWithHeader) {
    net.WriteBytes("0123456789");
    net.Send();
    ASSERT_EQ(vio->Writes().size(), 1u);
    EXPECT_EQ(vio->Writes()[0], Packet(0, ToBytes("0123456789")));
}

struct HugeCase {
    std::size_t prefix;  // payload bytes written before WriteOrSendBytes
    std::size_t count;
    std::vector<std::size_t> packets;  // payload lengths of the physical packets
};

class HugePayload : public PacketLayer, public ::testing::WithParamInterface<HugeCase> {};

TEST_P(HugePayload, SplitsAtMaxPacketLength) {
    const Bytes payload = Pattern(GetParam().prefix + GetParam().count, 7);
    net.WriteBytes(payload.data(), GetParam().prefix);
    net.WriteOrSendBytes(payload.data() + GetParam().prefix, GetParam().count);
    net.Send();

    Bytes expected;
    std::size_t offset = 0;
    std::uint8_t sequence = 0;
    for (const std::size_t length : GetParam().packets) {
        Append(expected, Packet(sequence++, Bytes(payload.begin() + offset,
                                                  payload.begin() + offset + length)));
        offset += length;
    }
    EXPECT_EQ(offset, payload.size());
    EXPECT_TRUE(vio->Written() == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HugePayload,
    ::testing::Values(HugeCase{0, Max + 10, {Max, 10}}, HugeCase{0, Max, {Max, 0}},
                      HugeCase{1, Max - 1, {Max, 0}}, HugeCase{1, Max + 20000, {Max, 20001}},
                      HugeCase{0, Max - 1, {Max - 1}}),
    [](const auto& info) {
        return std::to_string(info.param.prefix) + "_" + std::to_string(info.param.count);
    });

TEST_F(PacketLayer, SequenceNumbersWrapAfter255) {
    for (int i = 0; i < 300; ++i) {
        net.WriteByte(1);
        net.Send();
    }
    ASSERT_EQ(vio->Writes().size(), 300u);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(vio->Writes()[i][3], i % 256) << "packet " << i;
    }

    for (int i = 0; i < 300; ++i) {
        vio->Feed(Packet(std::uint8_t(i), {1, std::uint8_t(i)}));
    }
    net.NewCommand();
    for (int i = 0; i < 300; ++i) {
        net.Receive();
        EXPECT_EQ(net.ReadByte(), 1);
        EXPECT_EQ(net.ReadByte(), std::uint8_t(i));
    }
}

TEST_F(PacketLayer, SendEmptyRefusesAPendingPayload) {
    net.WriteByte(1);
    EXPECT_THROW(net.SendEmpty(), platform::EAssertionFailed);
}

TEST_F(PacketLayer, WritersLayOutLittleEndianValues) {
    net.WriteByte(0xAB);
    net.WriteBool(true);
    net.WriteInt16(0x0102);
    net.WriteInt24(0x030405);
    net.WriteInt32(0x06070809);
    net.WriteInt64(0x0A0B0C0D0E0F1011ull);
    net.WriteString("ab");
    net.WriteString("");
    net.Fill(0x55, 2);
    net.Send();
    const Bytes payload = {0xAB, 1,    0x02, 0x01, 0x05, 0x04, 0x03, 0x09, 0x08,
                           0x07, 0x06, 0x11, 0x10, 0x0F, 0x0E, 0x0D, 0x0C, 0x0B,
                           0x0A, 'a',  'b',  0,    0,    0x55, 0x55};
    EXPECT_EQ(vio->Written(), Packet(0, payload));
}

struct FieldLengthCase {
    std::uint64_t value;
    Bytes encoded;
};

class FieldLength : public PacketLayer, public ::testing::WithParamInterface<FieldLengthCase> {};

TEST_P(FieldLength, EncodesAtTheBoundariesAndReadsBack) {
    net.WriteFieldLength(GetParam().value);
    net.Send();
    EXPECT_EQ(vio->Written(), Packet(0, GetParam().encoded));

    Load(GetParam().encoded);
    EXPECT_EQ(net.ReadFieldLength(), std::int64_t(GetParam().value));
    EXPECT_EQ(net.GetPosition(), net.GetLength());
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, FieldLength,
    ::testing::Values(FieldLengthCase{0, {0}}, FieldLengthCase{250, {250}},
                      FieldLengthCase{251, {0xFC, 251, 0}},
                      FieldLengthCase{65535, {0xFC, 0xFF, 0xFF}},
                      FieldLengthCase{65536, {0xFD, 0, 0, 1}},
                      FieldLengthCase{16777215, {0xFD, 0xFF, 0xFF, 0xFF}},
                      FieldLengthCase{16777216, {0xFE, 0, 0, 0, 1, 0, 0, 0, 0}},
                      FieldLengthCase{0x0102030405060708ull, {0xFE, 8, 7, 6, 5, 4, 3, 2, 1}}),
    [](const auto& info) { return std::to_string(info.param.value); });

// --- receiving --------------------------------------------------------------------------------

TEST_F(PacketLayer, JoinsSplitPacketsIntoOnePayload) {
    const Bytes payload = Pattern(20 * 1000 * 1000, 3);  // a 20 MB row
    vio->Feed(Packet(0, Bytes(payload.begin(), payload.begin() + Max)));
    vio->Feed(Packet(1, Bytes(payload.begin() + Max, payload.end())));
    net.Receive();
    EXPECT_EQ(net.GetPosition(), 0u);
    EXPECT_TRUE(ReceivedPayload() == payload);
}

TEST_F(PacketLayer, FullPacketFollowedByEmptyOneIsExactlyMaxPacketLength) {
    const Bytes payload = Pattern(Max, 5);
    vio->Feed(Packet(0, payload));
    vio->Feed(Packet(1, {}));
    vio->Feed(Packet(2, ToBytes("next")));
    net.Receive();
    EXPECT_EQ(net.GetLength(), Max);
    net.Receive();
    EXPECT_EQ(ReceivedPayload(), ToBytes("next"));
}

TEST_F(PacketLayer, ReportsPacketOutOfSequence) {
    vio->Feed(Packet(5, ToBytes("x")));
    EXPECT_MYSQL_ERROR(net.Receive(), 1156,
                       "\r\nReceiveHeader: Net packets out of order: received[5], expected[0]");
}

struct TruncatedCase {
    const char* name;
    Bytes wire;
};

class Truncated : public PacketLayer, public ::testing::WithParamInterface<TruncatedCase> {};

TEST_P(Truncated, IsALostConnection) {
    vio->Feed(GetParam().wire);
    EXPECT_MYSQL_ERROR(net.Receive(), 2013, "Lost connection to MySQL server during query");
    // What follows in the stream can no longer be trusted: the connection is closed.
    EXPECT_EQ(net.GetVio(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Truncated,
    ::testing::Values(TruncatedCase{"Nothing", {}}, TruncatedCase{"HalfHeader", {5, 0}},
                      TruncatedCase{"ShortPayload", {100, 0, 0, 0, 1, 2, 3}},
                      TruncatedCase{"MissingSecondPart", Packet(0, Pattern(Max))}),
    [](const auto& info) { return info.param.name; });

struct ErrorPacketCase {
    const char* name;
    Bytes payload;
    int code;
    const char* message;
};

class ErrorPacket : public PacketLayer, public ::testing::WithParamInterface<ErrorPacketCase> {};

TEST_P(ErrorPacket, BecomesAnException) {
    vio->Feed(Packet(0, GetParam().payload));
    EXPECT_MYSQL_ERROR(net.Receive(), GetParam().code, GetParam().message);
}

Bytes ErrorPayload(std::uint16_t code, std::string_view text) {
    Bytes payload = {0xFF, std::uint8_t(code), std::uint8_t(code >> 8)};
    Append(payload, ToBytes(text));
    return payload;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, ErrorPacket,
    ::testing::Values(
        ErrorPacketCase{"Protocol41", ErrorPayload(1045, "#28000Access denied for user 'x'"), 1045,
                        "\r\n#28000Access denied for user 'x'"},
        ErrorPacketCase{"EndsAtNul", ErrorPayload(1146, std::string_view("gone\0junk", 9)), 1146,
                        "\r\ngone"},
        ErrorPacketCase{"NoText", ErrorPayload(1040, ""), 1040, ""},
        ErrorPacketCase{"ClientCode", ErrorPayload(2006, "away"), 2006,
                        "MySQL server has gone away\r\naway"},
        ErrorPacketCase{"NoCode",
                        {0xFF, 0x15},
                        2027,
                        "Malformed packet\r\nReadInt16 needs 2 bytes at position 1 of a 2-byte "
                        "packet"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PacketLayer, ReceiveBufferTakesOnePhysicalPacket) {
    vio->Feed(Packet(0, ToBytes("row")));
    vio->Feed(Packet(1, ErrorPayload(1317, "#70100Query execution was interrupted")));
    EXPECT_EQ(net.ReceiveBuffer(), ToBytes("row"));
    EXPECT_MYSQL_ERROR(net.ReceiveBuffer(), 1317, "\r\n#70100Query execution was interrupted");
}

TEST_F(PacketLayer, ReceiveBufferRefusesHugeAndEmptyPackets) {
    vio->Feed({0xFF, 0xFF, 0xFF, 0});
    try {
        net.ReceiveBuffer();
        ADD_FAILURE() << "a huge packet was taken";
    } catch (const platform::EArgumentException& e) {
        EXPECT_EQ(e.Message(), "Cannot retrieve huge data in FetchAll mode");
    }

    net.NewCommand();
    vio->Feed(Packet(0, {}));
    EXPECT_MYSQL_ERROR(net.ReceiveBuffer(), 2027,
                       "Malformed packet\r\nReceiveBuffer: empty packet");
}

TEST_F(PacketLayer, SkipBufferDiscardsInPiecesAndKeepsTheFirstByte) {
    vio->Feed(Packet(0, ToBytes("\x05"
                                "abcdefghi")));
    vio->Feed(Packet(1, ToBytes("\x07"
                                "xyz")));
    vio->Feed(Packet(2, {}));
    vio->Feed(Packet(3, ErrorPayload(1054, "#42S22Unknown column")));
    std::uint8_t piece[3] = {};

    EXPECT_EQ(net.SkipBuffer(piece, sizeof piece, true), 10u);
    EXPECT_EQ(piece[0], 0x05);
    EXPECT_EQ(net.SkipBuffer(piece, sizeof piece, false), 4u);
    EXPECT_EQ(piece[0], 0);
    piece[0] = 0x42;
    EXPECT_EQ(net.SkipBuffer(piece, sizeof piece, true), 0u);
    EXPECT_EQ(piece[0], 0x42);
    // Only the first piece of an error packet reaches the error reader.
    EXPECT_THROW(net.SkipBuffer(piece, sizeof piece, true), EMySqlException);
}

// --- readers ----------------------------------------------------------------------------------

TEST_F(PacketLayer, ReadsLittleEndianIntegers) {
    Load({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x08, 0x07, 0x06, 0x05,
          0x04, 0x03, 0x02, 0x81});
    EXPECT_EQ(net.ReadInt32(), -2);
    EXPECT_EQ(net.ReadInt16(), -1);
    EXPECT_EQ(net.ReadUInt16(), 0xFFFF);
    EXPECT_EQ(net.ReadInt24(), 0x030201u);
    EXPECT_EQ(net.ReadInt64(), std::int64_t(0x8102030405060708ull));
}

TEST_F(PacketLayer, ReadsNulTerminatedAndCountedStrings) {
    Load(ToBytes(std::string_view("abc\0de\0fgh", 10)));
    EXPECT_EQ(net.ReadString(), "abc");
    EXPECT_EQ(net.ReadString(2), "de");
    EXPECT_EQ(net.ReadByte(), 0);
    EXPECT_EQ(net.ReadString(), "fgh");  // no NUL: the rest of the payload
    EXPECT_EQ(net.ReadString(), "");     // at the end
    EXPECT_EQ(net.ReadString(0), "");
}

struct OverrunCase {
    const char* name;
    Bytes payload;
    std::function<void(TMySqlNet&)> read;
    const char* detail;
};

class Overrun : public PacketLayer, public ::testing::WithParamInterface<OverrunCase> {};

TEST_P(Overrun, IsAMalformedPacketNotAnOverread) {
    Load(GetParam().payload);
    EXPECT_MYSQL_ERROR(GetParam().read(net), 2027,
                       std::string("Malformed packet\r\n") + GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, Overrun,
    ::testing::Values(OverrunCase{"EmptyPacket",
                                  {},
                                  [](TMySqlNet& n) { n.ReadByte(); },
                                  "ReadByte needs 1 bytes at position 0 of a 0-byte packet"},
                      OverrunCase{"Int32",
                                  {1, 2, 3},
                                  [](TMySqlNet& n) { n.ReadInt32(); },
                                  "ReadInt32 needs 4 bytes at position 0 of a 3-byte packet"},
                      OverrunCase{"Int64",
                                  {1, 2, 3, 4, 5, 6, 7},
                                  [](TMySqlNet& n) { n.ReadInt64(); },
                                  "ReadInt64 needs 8 bytes at position 0 of a 7-byte packet"},
                      OverrunCase{"CountedString",
                                  {'a', 'b'},
                                  [](TMySqlNet& n) { n.ReadString(3); },
                                  "ReadString needs 3 bytes at position 0 of a 2-byte packet"},
                      OverrunCase{"Bytes",
                                  {'a', 'b'},
                                  [](TMySqlNet& n) {
                                      std::uint8_t out[4];
                                      n.ReadByte();
                                      n.ReadBytes(out, 4);
                                  },
                                  "ReadBytes needs 4 bytes at position 1 of a 2-byte packet"},
                      OverrunCase{"FieldLength2",
                                  {0xFC, 0x10},
                                  [](TMySqlNet& n) { n.ReadFieldLength(); },
                                  "ReadUInt16 needs 2 bytes at position 1 of a 2-byte packet"},
                      OverrunCase{"FieldLength8",
                                  {0xFE, 1, 2, 3},
                                  [](TMySqlNet& n) { n.ReadFieldLength(); },
                                  "ReadInt64 needs 8 bytes at position 1 of a 4-byte packet"},
                      OverrunCase{"FieldLengthMarker",
                                  {0x01, 0xFF},
                                  [](TMySqlNet& n) {
                                      n.ReadByte();
                                      n.ReadFieldLength();
                                  },
                                  "ReadFieldLength: invalid length marker 0xFF at position 1"},
                      OverrunCase{"PositionPastEnd",
                                  {1, 2},
                                  [](TMySqlNet& n) {
                                      n.SetPosition(5);
                                      n.ReadByte();
                                  },
                                  "ReadByte needs 1 bytes at position 5 of a 2-byte packet"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PacketLayer, ReadFieldLengthNullMarker) {
    Load({0xFB, 0xFC, 0x10, 0x27});
    EXPECT_EQ(net.ReadFieldLength(), TMySqlNet::NullLength);
    EXPECT_EQ(net.ReadFieldLength(), 10000);
}

// --- compression ------------------------------------------------------------------------------

TEST_F(PacketLayer, CompressedShortCommandIsStoredRaw) {
    net.SetCompress(true);
    const Bytes payload = Pattern(40);
    SendPayload(payload);
    ASSERT_EQ(vio->Writes().size(), 1u);
    EXPECT_EQ(vio->Writes()[0], CompressedPacket(0, Packet(0, payload), false));
}

TEST_F(PacketLayer, CompressedLongCommandIsDeflated) {
    net.SetCompress(true);
    const Bytes payload(400, 'a');
    SendPayload(payload);
    ASSERT_EQ(vio->Writes().size(), 1u);
    const Bytes& wire = vio->Writes()[0];
    EXPECT_EQ(wire[3], 0);                                   // compressed sequence number
    EXPECT_EQ(wire[4] | wire[5] << 8 | wire[6] << 16, 404);  // uncompressed length
    EXPECT_LT(wire.size(), 100u);
    EXPECT_EQ(Decompress(wire), Packet(0, payload));
}

TEST_F(PacketLayer, CompressedStreamedCommandIsTwoCompressedPackets) {
    net.SetCompress(true);
    const Bytes payload = Pattern(20000);
    SendPayload(payload);
    int packets = 0;
    EXPECT_EQ(Decompress(vio->Written(), &packets), Packet(0, payload));
    EXPECT_EQ(packets, 2);
}

TEST_F(PacketLayer, CompressedRoundTrip) {
    const std::vector<Bytes> payloads = {ToBytes("ping"),   Pattern(51),     Pattern(20000),
                                         Pattern(Max + 10), Bytes(Max, 'z'), Pattern(8188)};
    net.SetCompress(true);
    for (const Bytes& payload : payloads) {
        SendPayload(payload);
    }

    TMySqlNet receiver;
    auto transport = std::make_unique<MemoryVio>();
    transport->Feed(vio->Written());
    receiver.SetVio(std::move(transport));
    receiver.NewCommand();
    receiver.SetCompress(true);
    for (const Bytes& payload : payloads) {
        receiver.Receive();
        EXPECT_TRUE(Bytes(receiver.GetBuffer(), receiver.GetBuffer() + receiver.GetLength()) ==
                    payload)
            << "payload of " << payload.size() << " bytes";
    }
}

TEST_F(PacketLayer, PlainPacketsSpanAndShareCompressedPackets) {
    Bytes plain = Packet(0, ToBytes("first packet, long enough to be split"));
    Append(plain, Packet(1, ToBytes("second")));
    Append(plain, Packet(2, ToBytes("third")));
    // Cut the plain stream in the middle of the first packet: one deflated, one raw part.
    const Bytes head(plain.begin(), plain.begin() + 20);
    const Bytes tail(plain.begin() + 20, plain.end());
    vio->Feed(CompressedPacket(0, head, true));
    vio->Feed(CompressedPacket(1, tail, false));
    net.SetCompress(true);

    net.Receive();
    EXPECT_EQ(ReceivedPayload(), ToBytes("first packet, long enough to be split"));
    net.Receive();
    EXPECT_EQ(ReceivedPayload(), ToBytes("second"));
    net.Receive();
    EXPECT_EQ(ReceivedPayload(), ToBytes("third"));
}

TEST_F(PacketLayer, CompressedPacketOutOfSequence) {
    vio->Feed(CompressedPacket(3, Packet(0, ToBytes("x")), false));
    net.SetCompress(true);
    EXPECT_MYSQL_ERROR(net.Receive(), 1156,
                       "\r\nReceiveCompHeader: Net packets out of order: received[3], expected[0]");
}

struct InflateCase {
    const char* name;
    Bytes wire;
    const char* message;
};

class BadCompressedPacket : public PacketLayer,
                            public ::testing::WithParamInterface<InflateCase> {};

TEST_P(BadCompressedPacket, IsAnUncompressError) {
    vio->Feed(GetParam().wire);
    net.SetCompress(true);
    EXPECT_MYSQL_ERROR(net.Receive(), 1157, GetParam().message);
}

Bytes WithAnnouncedLength(Bytes wire, std::size_t length) {
    wire[4] = std::uint8_t(length);
    wire[5] = std::uint8_t(length >> 8);
    wire[6] = std::uint8_t(length >> 16);
    return wire;
}

Bytes Garbage() {
    Bytes wire = CompressedPacket(0, Packet(0, Pattern(100)), true);
    wire[9] ^= 0x5A;
    return wire;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, BadCompressedPacket,
    ::testing::Values(
        InflateCase{"AnnouncesMore",
                    WithAnnouncedLength(CompressedPacket(0, Packet(0, Pattern(100)), true), 105),
                    "\r\nCompressed packet does not inflate to its announced 105 bytes"},
        InflateCase{"AnnouncesLess",
                    WithAnnouncedLength(CompressedPacket(0, Packet(0, Pattern(100)), true), 103),
                    "\r\nCompressed packet does not inflate to its announced 103 bytes"},
        InflateCase{"DamagedStream", Garbage(),
                    "\r\nCompressed packet does not inflate to its announced 104 bytes"}),
    [](const auto& info) { return info.param.name; });

// --- the packet limit -------------------------------------------------------------------------

// A logical packet in plain framing: physical packets of at most MaxPacketLength, sequence
// numbers from 0.
std::vector<Bytes> PlainFrames(const Bytes& payload) {
    std::vector<Bytes> frames;
    std::size_t offset = 0;
    std::uint8_t sequence = 0;
    do {
        const std::size_t length = std::min(Max, payload.size() - offset);
        frames.push_back(
            Packet(sequence++, Bytes(payload.begin() + offset, payload.begin() + offset + length)));
        offset += length;
    } while (offset < payload.size());
    return frames;
}

// The same logical packet deflated in compressed packets of at most MaxPacketLength plain bytes.
std::vector<Bytes> CompressedFrames(const Bytes& payload) {
    Bytes plain;
    for (const Bytes& frame : PlainFrames(payload)) {
        Append(plain, frame);
    }
    std::vector<Bytes> frames;
    std::uint8_t sequence = 0;
    for (std::size_t offset = 0; offset < plain.size(); offset += Max) {
        const std::size_t length = std::min(Max, plain.size() - offset);
        frames.push_back(CompressedPacket(
            sequence++, Bytes(plain.begin() + offset, plain.begin() + offset + length), true));
    }
    return frames;
}

enum class Path { Receive, ReceiveBuffer };

struct LimitCase {
    const char* name;
    Path path;
    bool compressed;
    std::size_t limit;
    std::size_t payload;
    bool accepted;
};

class PacketLimit : public PacketLayer, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(PacketLimit, RefusesALogicalPacketOverTheLimitBeforeReadingIt) {
    const LimitCase c = GetParam();
    const Bytes payload = c.compressed ? Bytes(c.payload, 'z') : Pattern(c.payload, 1);
    std::vector<Bytes> frames = c.compressed ? CompressedFrames(payload) : PlainFrames(payload);
    if (!c.accepted) {
        // Only the header that crosses the limit arrives: reading on would lose the connection
        // (2013) instead of refusing the packet.
        frames.back().resize(c.compressed ? 7 : 4);
    }
    for (const Bytes& frame : frames) {
        vio->Feed(frame);
    }
    net.SetMaxAllowedPacket(c.limit);
    net.SetCompress(c.compressed);

    const auto receive = [&] {
        if (c.path == Path::ReceiveBuffer) {
            return net.ReceiveBuffer();
        }
        net.Receive();
        return ReceivedPayload();
    };
    if (c.accepted) {
        EXPECT_TRUE(receive() == payload);
        return;
    }
    try {
        receive();
        ADD_FAILURE() << "a packet over the limit was taken";
    } catch (const EMySqlException& e) {
        EXPECT_EQ(e.ErrorCode(), 2020);
        EXPECT_EQ(e.Message().substr(0, e.Message().find('\r')),
                  "Got packet bigger than 'max_allowed_packet'");
    }
    EXPECT_EQ(net.GetVio(), nullptr);
    EXPECT_MYSQL_ERROR(net.Receive(), 2006, "MySQL server has gone away");
}

INSTANTIATE_TEST_SUITE_P(
    Packets, PacketLimit,
    ::testing::Values(
        LimitCase{"SingleBelow", Path::Receive, false, 1000, 999, true},
        LimitCase{"SingleAt", Path::Receive, false, 1000, 1000, true},
        LimitCase{"SingleAbove", Path::Receive, false, 1000, 1001, false},
        LimitCase{"JoinedBelow", Path::Receive, false, Max + 10, Max + 9, true},
        LimitCase{"JoinedAt", Path::Receive, false, Max + 10, Max + 10, true},
        LimitCase{"JoinedAbove", Path::Receive, false, Max + 10, Max + 11, false},
        LimitCase{"BufferAt", Path::ReceiveBuffer, false, 1000, 1000, true},
        LimitCase{"BufferAbove", Path::ReceiveBuffer, false, 1000, 1001, false},
        LimitCase{"CompressedBelow", Path::Receive, true, 1000, 999, true},
        LimitCase{"CompressedAt", Path::Receive, true, 1000, 1000, true},
        LimitCase{"CompressedAbove", Path::Receive, true, 1000, 1001, false},
        LimitCase{"CompressedJoinedAt", Path::Receive, true, Max + 10, Max + 10, true},
        LimitCase{"CompressedJoinedAbove", Path::Receive, true, Max + 10, Max + 11, false}),
    [](const auto& info) { return info.param.name; });

// --- transport ownership ----------------------------------------------------------------------

class TrackedVio : public MemoryVio {
public:
    TrackedVio(bool& closed, bool& destroyed) : FClosedFlag(closed), FDestroyedFlag(destroyed) {}
    ~TrackedVio() override { FDestroyedFlag = true; }
    void Close() override { FClosedFlag = true; }

private:
    bool& FClosedFlag;
    bool& FDestroyedFlag;
};

TEST(PacketLayerTransport, ReplacingOrClosingReleasesTheTransport) {
    bool firstClosed = false, firstDestroyed = false, secondClosed = false, secondDestroyed = false;
    TMySqlNet net;
    net.SetVio(std::make_unique<TrackedVio>(firstClosed, firstDestroyed));
    net.SetVio(std::make_unique<TrackedVio>(secondClosed, secondDestroyed));
    EXPECT_TRUE(firstClosed && firstDestroyed);
    EXPECT_FALSE(secondClosed || secondDestroyed);

    net.Close();
    EXPECT_TRUE(secondClosed && secondDestroyed);
    EXPECT_EQ(net.GetVio(), nullptr);
}

}  // namespace
