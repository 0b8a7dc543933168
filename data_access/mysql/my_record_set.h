#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data_access/cr_record_set.h"
#include "data_access/mysql/my_command.h"
#include "data_access/mysql/my_connection.h"
#include "data_access/mysql/my_type_map.h"
#include "mysql_client/mysql_api.h"

namespace data_access::mysql {

// Whether the statement text has results after the current one.
enum TOpenNextState { osNotChecked = 0, osMoreResults = 1, osNoMoreResults = 2, osError = 3 };

// The text rewritten to return no rows: the number after a LIMIT becomes 0, or "LIMIT 0" is put
// before a PROCEDURE, FOR or LOCK outside parentheses, before the first ";" after the SELECT, or
// at the end. A text without SELECT, or with SET before it, is returned unchanged.
platform::String SetLimit(platform::StringView sql);

// A table the FROM clause names: the last part of the name, the name with its qualifiers, and the
// alias (empty when none), without backquotes.
struct TTableReference {
    platform::String Name;
    platform::String FullName;
    platform::String Alias;
};

// The tables the outermost FROM clause names, separated by ",", each with an optional AS and an
// alias; with useHandler the table of a HANDLER statement. Reading stops at the first thing that
// is not such a reference (a join, a derived table, the next clause). An empty name raises
// "TableName cannot be empty".
std::vector<TTableReference> TableReferences(platform::StringView sql, bool useHandler);

// The result of one MySQL statement as stored records. The record set executes its own command,
// describes each result column as a TMySQLFieldDesc with an internal data type, and reads the
// rows block by block, converting each textual value into the stored form of its type.
//
// Without FetchAll (and with CreateConnection) the rows are streamed on a second connection of
// the record set's own, so that the given connection stays free for other statements meanwhile.
class TMySQLRecordset : public TCRRecordSet {
public:
    TMySQLRecordset();
    // Finishes every result still open; a failure on the way is not reported.
    ~TMySQLRecordset() override;

    TMySQLCommand& GetCommand() const noexcept {
        return static_cast<TMySQLCommand&>(TCRRecordSet::GetCommand());
    }

    // Reads up to FetchRows rows into a new block; false when no row came.
    bool Fetch(bool fetchBack) override;
    void SetToEnd() override;
    void BreakFetch() override;
    bool RowsReturn() override;
    bool SetProp(int prop, const TPropValue& value) override;
    bool GetProp(int prop, TPropValue& value) override;
    bool IsCaseSensitive() const override { return false; }
    void CreateComplexFields(std::uint8_t* recBuf, bool withBlob) override;

    // Finishes the open result: drops its unread rows (or, streaming on the second connection,
    // cuts it with KILL when more than a block remains) and frees it; with readAhead moves on to
    // the next result with columns of the same text, kept for the next open.
    void FreeResult(bool readAhead, bool checkState);
    // Finishes the open result and every further one.
    void DrainResults();

    TOpenNextState OpenNextState() const noexcept { return FOpenNextState; }
    // The record set streams on a second connection of its own.
    bool UsesSwapConnection() const noexcept { return FConnectionSwap != nullptr; }

    // Raise the connection's error for a missing handle, a non-zero status, or (without an
    // argument) a non-zero error code.
    void Check(const void* handle);
    void Check(int status);
    void Check();

protected:
    std::unique_ptr<TCRCommand> CreateCommand() override;
    void InternalPrepare() override;
    void InternalUnPrepare() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFields() override;
    std::unique_ptr<TFieldDesc> GetFieldDescType() const override {
        return std::make_unique<TMySQLFieldDesc>();
    }
    void ExecCommand() override;

private:
    TMySQLConnection& Connection() const;
    // The connection's settings, kept while a connection is attached.
    bool UseUnicode();
    bool IsClient41();
    TMyTypeMapOptions MapOptions();

    void CreateFieldDescs();
    // Points the field at the table the column comes from, adding the table when new.
    void LinkTable(TMySQLFieldDesc& field, const mysql_client::TMYSQL_FIELD& column,
                   bool useUnicode);
    // Completes the tables from the FROM clause.
    void FillTablesAliases();
    void ClearTablesInfo() noexcept;
    // Describes the fields of a text not executed yet: runs it rewritten to return no rows.
    void DescribeWithoutRows();
    void GetDataFromRow(mysql_client::PMYSQL_ROW row, std::uint8_t* recBuf);
    void ConvertValue(const TMySQLFieldDesc& field, mysql_client::PMYSQL_ROW row,
                      std::uint8_t* recBuf, std::size_t index);
    // The block the next rows go into: with UniDirectional the stored block, emptied.
    PBlockHeader NewFetchBlock();
    // Releases what the first rows of a block hold and the block itself.
    void DiscardBlock(PBlockHeader block, int rows);
    void ReadAhead();
    // Frees the result read ahead, if any, without reading it.
    void FreeResultNext() noexcept;
    // Reads on at most a block of rows; with more left, kills the second connection's statement.
    // Returns whether it killed it.
    bool FastClose(mysql_client::PMYSQL_RES result);
    void QuerySwapConnection();
    void ReleaseSwapConnection(bool killed);

    bool FIsClient41 = false;
    bool FUseUnicode = false;
    bool FOptimizedBigInt = false;
    bool FNullForZeroDelphiDate = false;
    // While streaming on the second connection: the connection given to the record set.
    TMySQLConnection* FConnectionSwap = nullptr;
    std::unique_ptr<TMySQLConnection> FSwapConnection;
    bool FNullForZeroDate = true;
    bool FFieldsAsString = false;
    bool FEnableBoolean = true;
    bool FBinaryAsString = true;
    bool FCreateConnection = true;
    bool FUseHandler = false;
    std::vector<std::uint8_t> FNulls;
    std::vector<std::uint32_t> FValueBuffLen;
    std::vector<char16_t> FWideBuffer;
    TOpenNextState FOpenNextState = osNotChecked;
    mysql_client::PMYSQL_RES FSQLResultNext = nullptr;
    std::int64_t FRowsAffectedNext = 0;
    bool FIsCanFastClose = false;
};

}  // namespace data_access::mysql
