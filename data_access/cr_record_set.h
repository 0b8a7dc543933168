#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data_access/cr_command.h"
#include "data_access/cr_props.h"
#include "data_access/mem_data.h"
#include "platform/date_time.h"
#include "platform/text.h"

namespace data_access {

class TCRConnection;

// What the executed statement turned out to be.
enum TCommandType { ctUnknown = 0, ctStatement = 1, ctCursor = 2 };

// A table the statement reads from, as updates and refreshes need it.
struct TCRTableInfo {
    platform::String TableName;
    platform::String TableAlias;
    // The name as the statement writes it, with its database when qualified.
    platform::String TableNameFull;
    // The statement names a view that the server reports under its base table.
    bool IsView = false;
    // The table's TIMESTAMP column, and the largest value fetched from it.
    const TFieldDesc* TimestampField = nullptr;
    platform::TDateTime MaxTimestamp = 0;
};

// The tables of a statement.
class TCRTablesInfo {
public:
    int Count() const noexcept { return int(FItems.size()); }
    TCRTableInfo& operator[](int index) const { return *FItems[std::size_t(index)]; }
    // The table of that alias, ignoring case; nullptr when there is none.
    TCRTableInfo* FindByAlias(platform::StringView alias) const;
    TCRTableInfo& Add();
    void Clear() noexcept { FItems.clear(); }

private:
    // Fields point at their tables, so a table never moves.
    std::vector<std::unique_ptr<TCRTableInfo>> FItems;
};

// A field descriptor of a provider: the column as the database declares it.
class TCRFieldDesc : public TFieldDesc {
public:
    std::int32_t FDBLength = 0;
    std::int32_t FDBScale = 0;
    std::uint16_t FDBType = 0;
    // The table the column comes from, or nullptr.
    TCRTableInfo* FTableInfo = nullptr;
    platform::String FDefaultExpr;
};

// A provider's record set: a storage filled from the result of its own command. Opening
// executes the command, describes the fields and fetches the first block of rows, or every row
// with FetchAll; navigation fetches further blocks as it runs past the last stored one.
class TCRRecordSet : public TMemData {
public:
    TCRRecordSet() = default;
    ~TCRRecordSet() override;

    TCRCommand& GetCommand() const noexcept { return *FCommand; }
    virtual void SetConnection(TCRConnection* connection);
    virtual void SetSQL(platform::StringView text);

    // Handles the record set's property numbers; any other goes to the command.
    virtual bool SetProp(int prop, const TPropValue& value);
    virtual bool GetProp(int prop, TPropValue& value);

    // Fetches until nothing more comes.
    virtual void FetchAll();
    // Asks a running fetch to stop; may be called from another thread.
    virtual void BreakFetch();
    // Whether the connection may be given up: false while a result is still being read.
    virtual bool CanDisconnect();
    // Whether the executed statement produced a result set.
    virtual bool RowsReturn() = 0;
    virtual bool IsCaseSensitive() const { return true; }

    TCommandType CommandType() const noexcept { return FCommandType; }
    const TCRTablesInfo& TablesInfo() const noexcept { return FTablesInfo; }
    bool FetchAllMode() const noexcept { return FFetchAll; }
    int FetchRows() const noexcept { return FFetchRows; }

    // Called before each fetch, which it may cancel, and after it.
    std::function<void(bool& cancel)> OnBeforeFetch;
    std::function<void()> OnAfterFetch;

protected:
    virtual std::unique_ptr<TCRCommand> CreateCommand() = 0;
    void SetCommand(std::unique_ptr<TCRCommand> command);

    void InternalOpen() override;
    // Executes the command, describes the fields when needed, then fetches.
    virtual void ExecFetch(bool disableInitFields);
    virtual void ExecCommand() = 0;
    virtual bool NeedInitFieldsOnFetch() const { return false; }
    void DoBeforeFetch(bool& cancel);
    void DoAfterFetch();

    std::unique_ptr<TCRCommand> FCommand;
    bool FUniDirectional = false;
    int FFetchRows = 25;
    bool FFetchAll = false;
    bool FLockFetchAll = false;
    bool FLongStrings = true;
    bool FFlatBuffers = true;
    bool FReadOnly = false;
    bool FExtendedFieldsInfo = false;
    bool FDefaultValues = false;
    bool FFieldsOrigin = false;
    bool FRoAfterUpdate = false;
    platform::String FIndexFieldNames;
    platform::String FEncryptedFields;
    std::atomic<bool> FWaitForFetchBreak{false};
    TCommandType FCommandType = ctUnknown;
    TCRTablesInfo FTablesInfo;
};

}  // namespace data_access
