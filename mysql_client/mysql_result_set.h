#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "mysql_client/mysql_field_info.h"

namespace mysql_client {

class TMySqlSession;

// One value of the current row: where it lies in the row bytes.
struct TMySqlBind {
    bool IsNull = false;
    std::uint32_t Offset = 0;  // 0 for NULL
    std::uint32_t Length = 0;  // 0 for NULL
    std::uint8_t MyType = 0;
    int DbType = 0;
    bool Unicode = false;
};

// The row view handed upward: one bind per column and the address of the row bytes. Valid until
// the next fetch, which overwrites the bytes it points into.
struct TMySqlBinds {
    explicit TMySqlBinds(std::size_t columns) : Binds(columns) {}

    std::vector<TMySqlBind> Binds;
    const std::uint8_t* Buffer = nullptr;
};

using TRows = std::vector<std::vector<std::uint8_t>>;

// Reads the rows of a text result set. In streaming mode each row is received into the packet
// layer's buffer and described in place; in buffered mode (column definitions) every packet up to
// the end-of-data packet is kept.
//
// Rows are bounds-checked: a value that runs past its row raises 2027 (malformed packet).
class TMySqlResultSet {
public:
    // Streaming reader of the session's pending result.
    explicit TMySqlResultSet(TMySqlSession& session);
    // General form: fieldCount values per row, with the given column definitions.
    TMySqlResultSet(TMySqlSession& session, std::vector<TMySqlFieldInfo> fields,
                    std::uint32_t fieldCount);

    TMySqlResultSet(const TMySqlResultSet&) = delete;
    TMySqlResultSet& operator=(const TMySqlResultSet&) = delete;

    // Reads the column definitions that follow a result set header.
    static std::vector<TMySqlFieldInfo> ReadColumnDefinitions(TMySqlSession& session,
                                                              std::uint32_t fieldCount);

    // Buffered mode: every packet up to the end-of-data packet.
    void ReadRows();
    // Streaming mode: the next row into the packet buffer; false at the end of the result.
    bool ReadRow();
    // The next row decoded into binds; false at the end.
    bool Read(TMySqlBinds* binds);
    // Buffered mode: decodes the buffered packets as column definitions.
    std::vector<TMySqlFieldInfo> ReadFieldsInfo(std::uint32_t fieldCount);
    // Buffered mode: makes row the next one.
    void Seek(std::size_t row);
    std::size_t GetRowCount() const noexcept { return frows ? frows->size() : 0; }
    // Releases the view and the fields, discards unread rows and detaches from the session.
    void Clear();

    TMySqlSession* Session() const noexcept { return fsession; }
    // Forgets the session without touching it (the session is being freed).
    void Detach() noexcept { fsession = nullptr; }
    std::uint32_t FieldCount() const noexcept { return ffieldCount; }
    const std::vector<TMySqlFieldInfo>& Fields() const noexcept { return ffields; }
    TMySqlBinds& Bind() noexcept { return FBind; }
    bool Eof() const noexcept { return feof; }

private:
    void DecodeTextRow(TMySqlBinds* binds) const;
    void ReadEndPacket(const std::uint8_t* packet, std::size_t length);
    TMySqlFieldInfo DecodeFieldInfo41(const TMySqlBinds& values) const;
    TMySqlFieldInfo DecodeFieldInfoOld(const TMySqlBinds& values) const;

    std::unique_ptr<TRows> frows;
    std::size_t frowIndex = 0;
    std::size_t frowCount = 0;
    std::uint32_t ffieldCount = 0;
    const std::uint8_t* frowBuffer = nullptr;
    std::size_t frowLength = 0;
    std::vector<TMySqlFieldInfo> ffields;
    TMySqlSession* fsession;
    bool feof = false;
    TMySqlBinds FBind;
};

}  // namespace mysql_client
