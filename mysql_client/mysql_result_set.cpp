#include "mysql_client/mysql_result_set.h"

#include <algorithm>
#include <utility>

#include "mysql_client/mysql_errors.h"
#include "mysql_client/mysql_session.h"
#include "platform/format.h"

namespace mysql_client {

namespace {

constexpr std::uint8_t EndPacketMarker = 0xFE;
constexpr std::size_t MaxEndPacketLength = 8;
// Values per column definition packet.
constexpr std::uint32_t FieldInfoValues41 = 7;
constexpr std::uint32_t FieldInfoValuesOld = 5;

bool IsEndPacket(const std::uint8_t* packet, std::size_t length) {
    return length > 0 && length <= MaxEndPacketLength && packet[0] == EndPacketMarker;
}

std::uint64_t ReadLE(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

EMySqlException Malformed(const char* format, std::size_t a, std::size_t b = 0, std::size_t c = 0) {
    return EMySqlException(CR_MALFORMED_PACKET, platform::Format(format, a, b, c));
}

}  // namespace

TMySqlResultSet::TMySqlResultSet(TMySqlSession& session)
    : TMySqlResultSet(session, session.fields, session.fieldCount) {}

TMySqlResultSet::TMySqlResultSet(TMySqlSession& session, std::vector<TMySqlFieldInfo> fields,
                                 std::uint32_t fieldCount)
    : ffieldCount(fieldCount), ffields(std::move(fields)), fsession(&session), FBind(fieldCount) {}

std::vector<TMySqlFieldInfo> TMySqlResultSet::ReadColumnDefinitions(TMySqlSession& session,
                                                                    std::uint32_t fieldCount) {
    TMySqlResultSet reader(session, {},
                           session.Getprotocol41() ? FieldInfoValues41 : FieldInfoValuesOld);
    reader.ReadRows();
    return reader.ReadFieldsInfo(fieldCount);
}

void TMySqlResultSet::ReadRows() {
    frows = std::make_unique<TRows>();
    frowIndex = 0;
    for (;;) {
        std::vector<std::uint8_t> packet = fsession->net.ReceiveBuffer();
        if (IsEndPacket(packet.data(), packet.size())) {
            ReadEndPacket(packet.data(), packet.size());
            break;
        }
        frows->push_back(std::move(packet));
    }
    feof = frows->empty();
}

void TMySqlResultSet::ReadEndPacket(const std::uint8_t* packet, std::size_t length) {
    if (length == 1) {
        return;
    }
    if (length < 5) {
        throw Malformed("End-of-data packet of %zu bytes", length);
    }
    fsession->warningCount = std::uint32_t(ReadLE(packet + 1, 2));
    fsession->serverStatus = std::uint32_t(ReadLE(packet + 3, 2));
}

bool TMySqlResultSet::ReadRow() {
    TMySqlNet& net = fsession->net;
    net.Receive();
    const std::uint8_t* packet = net.GetBuffer();
    const std::size_t length = net.GetLength();
    if (!IsEndPacket(packet, length)) {
        frowBuffer = packet;
        frowLength = length;
        ++frowCount;
        return true;
    }
    ReadEndPacket(packet, length);
    fsession->status = msReady;
    frowBuffer = nullptr;
    frowLength = 0;
    feof = true;
    return false;
}

bool TMySqlResultSet::Read(TMySqlBinds* binds) {
    if (feof) {
        return false;
    }
    if (frows) {
        const std::vector<std::uint8_t>& row = (*frows)[frowIndex];
        frowBuffer = row.data();
        frowLength = row.size();
        DecodeTextRow(binds);
        ++frowIndex;
        feof = frowIndex >= frows->size();
    } else {
        if (!ReadRow()) {
            return false;
        }
        DecodeTextRow(binds);
    }
    binds->Buffer = frowBuffer;
    return true;
}

void TMySqlResultSet::DecodeTextRow(TMySqlBinds* binds) const {
    if (!binds) {
        throw EMySqlException(CR_NULL_POINTER);
    }
    const std::uint8_t* row = frowBuffer;
    std::size_t position = 0;
    for (std::size_t column = 0; column < ffieldCount; ++column) {
        if (position >= frowLength) {
            throw Malformed("Row of %zu bytes ends before column %zu", frowLength, column + 1);
        }
        TMySqlBind& bind = binds->Binds[column];
        const std::uint8_t marker = row[position];
        if (marker == 0xFB) {
            bind.IsNull = true;
            bind.Offset = 0;
            bind.Length = 0;
            ++position;
            continue;
        }
        std::size_t prefix = 1;
        std::uint64_t length = marker;
        if (marker >= 0xFC) {
            if (marker == 0xFF) {
                throw Malformed("Invalid length marker 0xFF for column %zu at position %zu",
                                column + 1, position);
            }
            const std::size_t size = marker == 0xFC ? 2 : marker == 0xFD ? 3 : 8;
            if (frowLength - position <= size) {
                throw Malformed("Length of column %zu runs past the row of %zu bytes", column + 1,
                                frowLength);
            }
            length = ReadLE(row + position + 1, size);
            prefix = 1 + size;
        }
        if (length > frowLength - position - prefix) {
            throw Malformed("Value of column %zu (%zu bytes) runs past the row of %zu bytes",
                            column + 1, std::size_t(length), frowLength);
        }
        bind.IsNull = false;
        bind.Offset = std::uint32_t(position + prefix);
        bind.Length = std::uint32_t(length);
        position += prefix + length;
    }
}

std::vector<TMySqlFieldInfo> TMySqlResultSet::ReadFieldsInfo(std::uint32_t fieldCount) {
    if (GetRowCount() != fieldCount) {
        throw Malformed("The result announces %zu columns but defines %zu", fieldCount,
                        GetRowCount());
    }
    const bool protocol41 = ffieldCount == FieldInfoValues41;
    std::vector<TMySqlFieldInfo> fields;
    fields.reserve(fieldCount);
    TMySqlBinds values(ffieldCount);
    while (Read(&values)) {
        TMySqlFieldInfo field = protocol41 ? DecodeFieldInfo41(values) : DecodeFieldInfoOld(values);
        if (IsNumField(field.MyType, field.Length)) {
            field.Flags |= NUM_FLAG;
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

namespace {

std::string ValueText(const TMySqlBinds& values, std::size_t column) {
    const TMySqlBind& bind = values.Binds[column];
    return std::string(reinterpret_cast<const char*>(values.Buffer) + bind.Offset, bind.Length);
}

// The bytes of a fixed-size value of a column definition, which must hold at least count bytes.
const std::uint8_t* FixedValue(const TMySqlBinds& values, std::size_t column, std::size_t count) {
    const TMySqlBind& bind = values.Binds[column];
    if (bind.Length < count) {
        throw Malformed("Column definition value %zu has %zu bytes, %zu needed", column + 1,
                        bind.Length, count);
    }
    return values.Buffer + bind.Offset;
}

}  // namespace

TMySqlFieldInfo TMySqlResultSet::DecodeFieldInfo41(const TMySqlBinds& values) const {
    TMySqlFieldInfo field;
    field.Database = ValueText(values, 1);
    field.Table = ValueText(values, 2);
    field.OrgTable = ValueText(values, 3);
    field.Name = ValueText(values, 4);
    field.OrgName = ValueText(values, 5);
    // character set 2, length 4, type 1, flags 2, decimals 1 (then 2 filler bytes)
    const std::uint8_t* block = FixedValue(values, 6, 10);
    field.CharsetNr = std::int32_t(ReadLE(block, 2));
    field.Length = std::int32_t(ReadLE(block + 2, 4));
    field.MyType = block[6];
    field.Flags = std::uint32_t(ReadLE(block + 7, 2));
    field.Scale = block[9];
    return field;
}

TMySqlFieldInfo TMySqlResultSet::DecodeFieldInfoOld(const TMySqlBinds& values) const {
    TMySqlFieldInfo field;
    field.Table = ValueText(values, 0);
    field.OrgTable = field.Table;
    field.Name = ValueText(values, 1);
    field.Length = std::int32_t(ReadLE(FixedValue(values, 2, 3), 3));
    field.MyType = *FixedValue(values, 3, 1);
    const bool longFlags = fsession->serverCapabilities & CLIENT_LONG_FLAG;
    const std::uint8_t* last = FixedValue(values, 4, longFlags ? 3 : 2);
    field.Flags = std::uint32_t(ReadLE(last, longFlags ? 2 : 1));
    field.Scale = last[longFlags ? 2 : 1];
    return field;
}

void TMySqlResultSet::Seek(std::size_t row) {
    if (!frows) {
        throw platform::ENotSupportedException("Seek is not supported on a streamed result");
    }
    if (row >= frows->size()) {
        throw platform::EArgumentException(
            platform::Format("Row %zu is beyond the %zu buffered rows", row, frows->size()));
    }
    frowIndex = row;
    feof = false;
}

void TMySqlResultSet::Clear() {
    const bool streaming = !frows;
    ffields.clear();
    frowBuffer = nullptr;
    frowLength = 0;
    frows.reset();
    TMySqlSession* session = std::exchange(fsession, nullptr);
    if (streaming && session) {
        session->FreeQuery();
    }
}

}  // namespace mysql_client
