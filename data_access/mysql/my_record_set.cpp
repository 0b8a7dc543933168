#include "data_access/mysql/my_record_set.h"

#include <algorithm>
#include <cstring>

#include "data_access/mysql/my_parser.h"
#include "data_access/mysql/my_value_conversion.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

using namespace mysql_client;

namespace {

template <typename T>
void Store(std::uint8_t* slot, const T& value) noexcept {
    std::memcpy(slot, &value, sizeof value);
}

TValueBytes ValueOf(TMySQLAPI& api, PMYSQL_ROW row, unsigned column, std::uint32_t length) {
    std::uint32_t offset = 0;
    const std::uint8_t* bytes = api._mysql_fetch_value_arr(row, column, offset);
    return {bytes + offset, length};
}

bool IsIntegerType(TDataType dataType) noexcept {
    switch (dataType) {
        case dtInt8:
        case dtUInt8:
        case dtInt16:
        case dtUInt16:
        case dtInt32:
        case dtUInt32:
        case dtInt64:
        case dtBoolean:
            return true;
        default:
            return false;
    }
}

// What the first keywords of a text tell about it.
struct TStatementKind {
    int FirstKeyword = 0;
    bool HasSemicolon = false;
};

TStatementKind StatementKind(platform::StringView sql) {
    TMyParser parser(sql);
    parser.SetOmitComment(true);
    TStatementKind kind;
    std::u16string lexem;
    for (int code; (code = parser.GetNext(lexem)) != lcEnd;) {
        if (kind.FirstKeyword == 0) {
            kind.FirstKeyword = code;
        }
        kind.HasSemicolon = kind.HasSemicolon || (code != lcString && lexem == u";");
    }
    return kind;
}

bool IsSymbol(int code, const std::u16string& lexem, std::u16string_view symbol) {
    return code != lcString && code != lcIdent && lexem == symbol;
}

// An identifier or a keyword used as a name, without its backquotes; empty for anything else.
platform::String NameOf(int code, const std::u16string& lexem) {
    if (code == lcIdent && lexem.size() >= 2 && lexem.front() == u'`' && lexem.back() == u'`') {
        return lexem.substr(1, lexem.size() - 2);
    }
    return code == lcIdent || code >= lxALL ? lexem : std::u16string();
}

// Reads a name with its "." qualifiers; false at a derived table.
bool ReadTableName(TMyParser& parser, TTableReference& reference) {
    std::u16string lexem;
    for (;;) {
        const int code = parser.GetNext(lexem);
        if (reference.FullName.empty() && IsSymbol(code, lexem, u"(")) {
            return false;
        }
        reference.Name = NameOf(code, lexem);
        if (reference.Name.empty()) {
            throw platform::EDatabaseError("TableName cannot be empty");
        }
        reference.FullName += reference.Name;
        if (!IsSymbol(parser.GetNext(lexem), lexem, u".")) {
            parser.Back();
            return true;
        }
        reference.FullName += u'.';
    }
}

}  // namespace

std::vector<TTableReference> TableReferences(platform::StringView sql, bool useHandler) {
    TMyParser parser(sql);
    parser.SetOmitComment(true);
    parser.SetUppered(false);
    std::vector<TTableReference> references;
    std::u16string lexem;
    if (useHandler && parser.GetNext(lexem) == lxHANDLER) {
        TTableReference reference;
        if (ReadTableName(parser, reference)) {
            references.push_back(std::move(reference));
        }
        return references;
    }
    parser.ToBegin();
    if (parser.ToLexem(lxFROM, true) == lcEnd) {
        return references;
    }
    for (;;) {
        TTableReference reference;
        if (!ReadTableName(parser, reference)) {
            break;
        }
        int code = parser.GetNext(lexem);
        if (code == lxAS) {
            code = parser.GetNext(lexem);
            reference.Alias = NameOf(code, lexem);
        } else if (code == lcIdent) {
            reference.Alias = NameOf(code, lexem);
        } else {
            parser.Back();
        }
        references.push_back(std::move(reference));
        if (!IsSymbol(parser.GetNext(lexem), lexem, u",")) {
            break;
        }
    }
    return references;
}

platform::String SetLimit(platform::StringView sql) {
    TMyParser parser(sql);
    parser.SetOmitBlank(false);
    parser.SetOmitComment(true);
    constexpr std::size_t none = platform::String::npos;
    bool select = false;
    int depth = 0;
    // 1 after LIMIT, 2 after LIMIT and a blank.
    int limitState = 0;
    std::size_t limitNumber = none;
    std::size_t limitLength = 0;
    std::size_t keyword = none;
    std::size_t semicolon = none;
    std::u16string lexem;
    for (int code; (code = parser.GetNext(lexem)) != lcEnd;) {
        const bool symbol = code != lcString && code != lcIdent && code != lcNumber;
        if (code == lcNumber && limitState == 2 && limitNumber == none) {
            limitNumber = parser.LexemPos();
            limitLength = parser.LexemLength();
        }
        limitState = code == lxLIMIT ? 1 : (code == lcBlank && limitState == 1) ? 2 : 0;
        if (code == lxSET && !select) {
            return platform::String(sql);
        }
        if (code == lxSELECT) {
            select = true;
        } else if (symbol && lexem == u"(") {
            ++depth;
        } else if (symbol && lexem == u")") {
            --depth;
        } else if (select && depth == 0 && keyword == none &&
                   (code == lxPROCEDURE || code == lxFOR || code == lxLOCK)) {
            keyword = parser.LexemPos();
        } else if (select && symbol && lexem == u";" && semicolon == none) {
            semicolon = parser.LexemPos();
        }
    }
    platform::String result(sql);
    if (!select) {
        return result;
    }
    if (limitNumber != none) {
        return platform::String(sql.substr(0, limitNumber)) + u"0" +
               platform::String(sql.substr(limitNumber + limitLength));
    }
    if (keyword != none) {
        return result.insert(keyword, u"LIMIT 0 ");
    }
    if (semicolon != none) {
        return result.insert(semicolon, u" LIMIT 0 ");
    }
    return result + u" LIMIT 0";
}

TMySQLRecordset::TMySQLRecordset() {
    SetCommand(CreateCommand());
    GetCommand().SetRequestResultset(true);
    FFetchRows = 25;
}

TMySQLRecordset::~TMySQLRecordset() {
    try {
        if (FActive) {
            Close();
        }
        GetCommand().FreeResult();
        FreeResultNext();
        ReleaseSwapConnection(true);
    } catch (const platform::Exception&) {
        // Nothing is left to report the failure to.
    }
}

std::unique_ptr<TCRCommand> TMySQLRecordset::CreateCommand() {
    return std::make_unique<TMySQLCommand>();
}

TMySQLConnection& TMySQLRecordset::Connection() const {
    TMySQLConnection* connection = GetCommand().GetConnection();
    platform::Assert(connection != nullptr, "No connection");
    return *connection;
}

bool TMySQLRecordset::UseUnicode() {
    if (const TMySQLConnection* connection = GetCommand().GetConnection()) {
        FUseUnicode = connection->UseUnicode();
    }
    return FUseUnicode;
}

bool TMySQLRecordset::IsClient41() {
    if (const TMySQLConnection* connection = GetCommand().GetConnection()) {
        FIsClient41 = connection->GetIsClient41();
    }
    return FIsClient41;
}

TMyTypeMapOptions TMySQLRecordset::MapOptions() {
    TMyTypeMapOptions options;
    options.UseUnicode = UseUnicode();
    options.FieldsAsString = FFieldsAsString;
    options.EnableBoolean = FEnableBoolean;
    options.BinaryAsString = FBinaryAsString;
    options.LongStrings = FLongStrings;
    options.FlatBuffers = FFlatBuffers;
    TPropValue value;
    GetCommand().GetProp(prEnableBCD, value);
    options.EnableBCD = value.AsBoolean();
    GetCommand().GetProp(prEnableFmtBCD, value);
    options.EnableFMTBCD = value.AsBoolean();
    if (TMySQLConnection* connection = GetCommand().GetConnection()) {
        FOptimizedBigInt = connection->OptimizedBigInt();
        options.CheckPrecision = connection->CheckPrecision();
        connection->GetProp(prEnableBCD, value);
        options.EnableBCD = options.EnableBCD || value.AsBoolean();
        connection->GetProp(prEnableFmtBCD, value);
        options.EnableFMTBCD = options.EnableFMTBCD || value.AsBoolean();
    }
    options.OptimizedBigInt = FOptimizedBigInt;
    options.IsShowStatement = StatementKind(GetCommand().SQL()).FirstKeyword == lxSHOW;
    return options;
}

void TMySQLRecordset::Check(const void* handle) {
    Connection().Check(handle);
}

void TMySQLRecordset::Check(int status) {
    Connection().Check(status);
}

void TMySQLRecordset::Check() {
    Connection().Check();
}

// --- properties -------------------------------------------------------------------------------

bool TMySQLRecordset::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prFieldsAsString:
            FFieldsAsString = value.AsBoolean();
            return true;
        case prNullForZeroDate:
            FNullForZeroDate = value.AsBoolean();
            return true;
        case prEnableBoolean:
            FEnableBoolean = value.AsBoolean();
            return true;
        case prCreateConnection:
            FCreateConnection = value.AsBoolean();
            return true;
        case prUseHandler:
            FUseHandler = value.AsBoolean();
            return true;
        case prBinaryAsString:
            FBinaryAsString = value.AsBoolean();
            return true;
        default:
            return TCRRecordSet::SetProp(prop, value);
    }
}

bool TMySQLRecordset::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prFieldsAsString:
            value = FFieldsAsString;
            return true;
        case prNullForZeroDate:
            value = FNullForZeroDate;
            return true;
        case prEnableBoolean:
            value = FEnableBoolean;
            return true;
        case prCreateConnection:
            value = FCreateConnection;
            return true;
        case prIsCanOpenNext:
            value = FSQLResultNext != nullptr;
            return true;
        case prUseHandler:
            value = FUseHandler;
            return true;
        case prBinaryAsString:
            value = FBinaryAsString;
            return true;
        default:
            return TCRRecordSet::GetProp(prop, value);
    }
}

// --- opening ----------------------------------------------------------------------------------

void TMySQLRecordset::InternalPrepare() {
    // Only a prepared query asks for this; the command says whether it can.
    GetCommand().Prepare();
}

void TMySQLRecordset::InternalUnPrepare() {
    ClearTablesInfo();
    GetCommand().SetCursorState(csInactive);
    FCommandType = ctUnknown;
    ReleaseSwapConnection(false);
}

void TMySQLRecordset::InternalOpen() {
    try {
        TCRRecordSet::InternalOpen();
    } catch (...) {
        TMySQLCommand& command = GetCommand();
        if (command.GetCursorState() == csExecuted) {
            command.SetCursorState(csInactive);
        }
        try {
            FreeResult(false, true);
            FreeResultNext();
        } catch (const platform::Exception&) {
            // The error that stopped the open is the one to report.
        }
        if (!FPrepared) {
            InternalUnPrepare();
        }
        throw;
    }
}

void TMySQLRecordset::ExecCommand() {
    TMySQLCommand& command = GetCommand();
    TPropValue openNext;
    command.GetProp(prOpenNext, openNext);
    const bool moveToNext = openNext.AsBoolean();
    if (!moveToNext && FSQLResultNext) {
        // A further result of the previous text would keep the connection busy.
        DrainResults();
    }
    FOpenNextState = osNotChecked;
    if (!FFetchAll && FCreateConnection) {
        QuerySwapConnection();
    }
    try {
        command.Execute();
        FWaitForFetchBreak = false;
        if (moveToNext) {
            FCommandType = FSQLResultNext ? ctCursor : ctStatement;
            if (FSQLResultNext) {
                command.SetSQLResult(FSQLResultNext);
                FSQLResultNext = nullptr;
                command.SetCursorState(csExecuted);
            }
        } else if (command.SQLResult()) {
            FCommandType = ctCursor;
            command.SetCursorState(csExecuted);
        } else {
            FCommandType = ctStatement;
            FreeResult(true, true);
            if (FSQLResultNext) {
                command.SetSQLResult(FSQLResultNext);
                FSQLResultNext = nullptr;
                FCommandType = ctCursor;
                command.SetCursorState(csExecuted);
            }
        }
        if (FCommandType != ctCursor) {
            command.SetCursorState(csInactive);
        }
    } catch (...) {
        try {
            FreeResult(false, true);
            ReleaseSwapConnection(false);
        } catch (const platform::Exception&) {
            // The execution's error is the one to report.
        }
        throw;
    }
}

// --- describing the fields --------------------------------------------------------------------

void TMySQLRecordset::InternalInitFields() {
    if (FCommandType == ctUnknown) {
        DescribeWithoutRows();
        return;
    }
    if (FCommandType != ctCursor) {
        return;
    }
    CreateFieldDescs();
    const TStatementKind kind = StatementKind(GetCommand().SQL());
    if (FConnectionSwap && kind.FirstKeyword == lxSELECT) {
        FIsCanFastClose = !kind.HasSemicolon;
    }
}

void TMySQLRecordset::DescribeWithoutRows() {
    TMySQLCommand& command = GetCommand();
    const platform::String userSQL = command.UserSQL();
    const platform::String sql = command.SQL();
    const TParamDescs params = command.Params();
    platform::Assert(command.SQLResult() == nullptr, "FCommand.FSQLResult must be nil");
    platform::Assert(FSQLResultNext == nullptr, "FSQLResultNext must be nil");
    struct TRestore {
        TMySQLCommand& Command;
        const platform::String& UserSQL;
        const TParamDescs& Params;
        ~TRestore() {
            Command.SetDisableParamScan(false);
            Command.SetSQL(UserSQL);
            Command.Params() = Params;
        }
    } restore{command, userSQL, params};
    const bool procedureCall = platform::AsciiSameText(
        platform::StringView(sql).substr(0, std::min<std::size_t>(sql.size(), 4)), u"CALL");
    command.SetDisableParamScan(true);
    command.SetSQL(procedureCall ? sql : SetLimit(sql));
    command.Params() = params;
    try {
        command.Execute();
        if (!command.SQLResult()) {
            FreeResult(true, true);
            if (FSQLResultNext) {
                command.SetSQLResult(FSQLResultNext);
                FSQLResultNext = nullptr;
            }
        }
        if (command.SQLResult()) {
            CreateFieldDescs();
        }
        DrainResults();
    } catch (...) {
        try {
            FreeResult(false, true);
            FreeResultNext();
        } catch (const platform::Exception&) {
            // The first error is the one to report.
        }
        command.SetCursorState(csInactive);
        throw;
    }
    command.SetCursorState(csInactive);
}

void TMySQLRecordset::CreateFieldDescs() {
    TMySQLCommand& command = GetCommand();
    if (command.GetPrepared() && FFields.Count() != 0) {
        return;
    }
    TMySQLAPI& api = Connection().API();
    PMYSQL_RES result = command.SQLResult();
    const TMyTypeMapOptions options = MapOptions();
    const unsigned count = api.mysql_num_fields(result);
    // The fields are new, and so are their tables.
    FTablesInfo.Clear();
    for (unsigned i = 0; i < count; ++i) {
        TMYSQL_FIELD column;
        api._mysql_fetch_field_direct(result, i, column, options.UseUnicode);
        auto field = std::make_unique<TMySQLFieldDesc>();
        field->FFieldNo = std::uint16_t(i + 1);
        field->FActualFieldNo = std::uint16_t(i);
        FillFieldDesc(*field, column, options);
        LinkTable(*field, column, options.UseUnicode);
        FFields.Add(std::move(field));
    }
    FillTablesAliases();
    FNulls.clear();
}

void TMySQLRecordset::LinkTable(TMySQLFieldDesc& field, const TMYSQL_FIELD& column,
                                bool useUnicode) {
    const auto decode = [useUnicode](const std::string& name) {
        return useUnicode ? platform::Utf8ToUtf16(name) : platform::AnsiToUtf16(name);
    };
    const platform::String alias = decode(column.Table);
    if (alias.empty()) {
        return;
    }
    TCRTableInfo* table = FTablesInfo.FindByAlias(alias);
    if (!table) {
        table = &FTablesInfo.Add();
    }
    table->TableName = decode(column.OrgTable);
    table->TableAlias = alias;
    field.FTableInfo = table;
    if (column.MyType == MYSQL_TYPE_TIMESTAMP &&
        (!table->TimestampField || (column.Flags & TIMESTAMP_FLAG))) {
        table->TimestampField = &field;
    }
}

void TMySQLRecordset::FillTablesAliases() {
    for (const TTableReference& reference : TableReferences(GetCommand().SQL(), FUseHandler)) {
        TCRTableInfo* table =
            FTablesInfo.FindByAlias(reference.Alias.empty() ? reference.Name : reference.Alias);
        if (!table) {
            table = &FTablesInfo.Add();
            table->TableName = reference.Name;
            table->TableAlias = reference.Alias;
        } else if (reference.Alias.empty() &&
                   !platform::AsciiSameText(table->TableName, reference.Name)) {
            // Named without alias, yet reported under another table: a view over that table,
            // whose columns are known by the names the view gives them.
            table->IsView = true;
            for (const auto& field : FFields) {
                auto& desc = static_cast<TCRFieldDesc&>(*field);
                if (desc.FTableInfo == table) {
                    desc.FActualName = desc.FName;
                }
            }
        }
        if (table->TableNameFull.empty()) {
            table->TableNameFull = reference.FullName;
        }
    }
    for (int i = 0; i < FTablesInfo.Count(); ++i) {
        if (FTablesInfo[i].TableNameFull.empty()) {
            FTablesInfo[i].TableNameFull = FTablesInfo[i].TableName;
        }
    }
}

void TMySQLRecordset::ClearTablesInfo() noexcept {
    for (const auto& field : FFields) {
        static_cast<TCRFieldDesc&>(*field).FTableInfo = nullptr;
    }
    FTablesInfo.Clear();
}

// --- fetching ---------------------------------------------------------------------------------

bool TMySQLRecordset::Fetch(bool /*fetchBack*/) {
    TMySQLCommand& command = GetCommand();
    if (FFields.Count() == 0) {
        FreeResult(false, true);
        throw platform::EDatabaseError("Query must return exactly result set - use Execute");
    }
    FNulls.resize(std::size_t(FFields.Count()));
    const TCursorState state = command.GetCursorState();
    if (state == csInactive || state == csFetched || !command.SQLResult()) {
        return false;
    }
    if (state == csExecuted) {
        command.SetCursorState(csFetching);
    }
    bool cancel = false;
    DoBeforeFetch(cancel);
    if (cancel) {
        return false;
    }
    TMySQLAPI& api = Connection().API();
    PMYSQL_RES result = command.SQLResult();
    FValueBuffLen.resize(api.mysql_num_fields(result));
    PBlockHeader block = nullptr;
    int rows = 0;
    try {
        while (rows < FFetchRows && !FWaitForFetchBreak) {
            PMYSQL_ROW row = api._mysql_fetch_row(result);
            if (!row) {
                Check();
                FNoData = true;
                FreeResult(true, true);
                break;
            }
            if (!block) {
                block = NewFetchBlock();
            }
            GetDataFromRow(row, ItemRecord(BlockMan.BlockItem(block, rows)));
            ++rows;
        }
    } catch (...) {
        DiscardBlock(block, rows);
        FNoData = true;
        try {
            FreeResult(false, true);
        } catch (const platform::Exception&) {
            // The fetch's error is the one to report.
        }
        throw;
    }
    if (rows > 0) {
        CreateBlockStruct(block, rows, false);
    } else if (block) {
        BlockMan.FreeBlock(block);
    }
    DoAfterFetch();
    return rows > 0;
}

PBlockHeader TMySQLRecordset::NewFetchBlock() {
    PBlockHeader block = FUniDirectional ? CutList() : nullptr;
    if (block && block->ItemCount != FFetchRows) {
        // FetchRows changed since the block was made.
        BlockMan.FreeBlock(block);
        block = nullptr;
    }
    return block ? block : BlockMan.AllocBlock(std::uint16_t(FFetchRows));
}

void TMySQLRecordset::DiscardBlock(PBlockHeader block, int rows) {
    if (!block) {
        return;
    }
    // The row being converted when the error came may hold values already.
    for (int i = 0; i <= rows && i < block->ItemCount; ++i) {
        ReleaseComplexValues(ItemRecord(BlockMan.BlockItem(block, i)), true, true);
    }
    BlockMan.FreeBlock(block);
}

void TMySQLRecordset::GetDataFromRow(PMYSQL_ROW row, std::uint8_t* recBuf) {
    TMySQLAPI& api = Connection().API();
    api._mysql_fetch_lengths(GetCommand().SQLResult(), FValueBuffLen);
    for (std::size_t i = 0; i < std::size_t(FFields.Count()); ++i) {
        const auto& field = static_cast<const TMySQLFieldDesc&>(FFields[int(i)]);
        if (!field.IsDataField()) {
            FNulls[i] = 1;
            continue;
        }
        FNulls[i] = api._mysql_fetch_value_is_null(row, field.FActualFieldNo) ? 1 : 0;
        std::uint8_t* slot = recBuf + field.FOffset;
        if (FNulls[i] == 0) {
            ConvertValue(field, row, recBuf, i);
        } else if (IsBlobDataType(field.FDataType)) {
            TBlob* blob = new TBlob(UseUnicode() && field.FDataType != dtBlob);
            blob->EnableRollback();
            Store(slot, blob);
        } else if (IsHeapDataType(field.FDataType)) {
            Store<void*>(slot, nullptr);
        }
    }
    std::memcpy(recBuf + FDataSize, FNulls.data(), FNulls.size());
}

void TMySQLRecordset::ConvertValue(const TMySQLFieldDesc& field, PMYSQL_ROW row,
                                   std::uint8_t* recBuf, std::size_t index) {
    TMySQLAPI& api = Connection().API();
    const TValueBytes value =
        ValueOf(api, row, field.FActualFieldNo, FValueBuffLen[field.FActualFieldNo]);
    std::uint8_t* slot = recBuf + field.FOffset;
    const TDataType dataType = field.FDataType;
    if (IsIntegerType(dataType)) {
        ConvertInteger(value, dataType, field.FMySQLType == MYSQL_TYPE_BIT, field.FSize, slot);
        return;
    }
    switch (dataType) {
        case dtString:
        case dtBytes: {
            const std::size_t length = std::min<std::size_t>(value.size(), field.FLength);
            std::memcpy(slot, value.data(), length);
            if (dataType == dtString) {
                slot[length] = 0;
            }
            break;
        }
        case dtFloat:
            Store(slot, ConvertToFloat(value));
            break;
        case dtDate:
        case dtTime:
        case dtDateTime: {
            platform::TDateTime date = 0;
            const bool valid =
                DateTimeFromStr(value, field.FMySQLType, field.FLength, field.FName, date);
            if (TMySQLConnection* connection = GetCommand().GetConnection()) {
                FNullForZeroDelphiDate = connection->NullForZeroDelphiDate();
            }
            if ((!valid && FNullForZeroDate) || (valid && date == 0 && FNullForZeroDelphiDate)) {
                FNulls[index] = 1;
                break;
            }
            Store(slot, valid ? date : ZeroDate);
            TCRTableInfo* table = field.FTableInfo;
            if (valid && table && table->TimestampField == &field && date > table->MaxTimestamp) {
                table->MaxTimestamp = date;
            }
            break;
        }
        case dtBlob:
        case dtMemo:
        case dtWideMemo: {
            const bool isUnicode = dataType != dtBlob && UseUnicode();
            TReference<TBlob> blob(new TBlob(isUnicode));
            blob->EnableRollback();
            if (isUnicode) {
                FWideBuffer.resize(value.size());
                const std::size_t count =
                    Utf8ToWs(value, FWideBuffer.data(), FWideBuffer.size(), false);
                blob->Write(0, count * sizeof(char16_t), FWideBuffer.data());
            } else {
                blob->Write(0, value.size(), value.data());
            }
            Store(slot, blob.release());
            break;
        }
        case dtExtString: {
            auto* text =
                static_cast<std::uint8_t*>(FStringHeap.NewBuf(std::int32_t(value.size() + 1)));
            std::memcpy(text, value.data(), value.size());
            text[value.size()] = 0;
            Store<void*>(slot, text);
            break;
        }
        case dtVarBytes: {
            const auto length = std::uint16_t(std::min<std::size_t>(value.size(), field.FLength));
            Store(slot, length);
            std::memcpy(slot + sizeof length, value.data(), length);
            break;
        }
        case dtExtVarBytes: {
            // The length word holds at most 65535.
            const auto length = std::uint16_t(std::min<std::size_t>(value.size(), 65535));
            auto* bytes = static_cast<std::uint8_t*>(
                FStringHeap.NewBuf(std::int32_t(length + sizeof length)));
            Store(bytes, length);
            std::memcpy(bytes + sizeof length, value.data(), length);
            Store<void*>(slot, bytes);
            break;
        }
        case dtWideString:
            Utf8ToWs(value, reinterpret_cast<char16_t*>(slot), std::size_t(field.FLength) + 1,
                     true);
            break;
        case dtExtWideString: {
            FWideBuffer.resize(value.size() + 1);
            const std::size_t count = Utf8ToWs(value, FWideBuffer.data(), FWideBuffer.size(), true);
            const std::size_t bytes = (count + 1) * sizeof(char16_t);
            void* text = FStringHeap.NewBuf(std::int32_t(bytes));
            std::memcpy(text, FWideBuffer.data(), bytes);
            Store(slot, text);
            break;
        }
        case dtBCD:
            Store(slot, ConvertToCurrency(value));
            break;
        case dtFMTBCD:
            ConvertToFMTBCD(value, field.FLength, field.FScale, slot);
            break;
        default:
            platform::AssertionFailed("No conversion for data type " + std::to_string(dataType),
                                      __FILE__, __LINE__);
    }
}

void TMySQLRecordset::SetToEnd() {
    FetchAll();
    TCRRecordSet::SetToEnd();
}

void TMySQLRecordset::BreakFetch() {
    TCRRecordSet::BreakFetch();
    TMySQLCommand& command = GetCommand();
    if (command.GetCursorState() == csFetching || command.GetCursorState() == csFetchingAll) {
        command.SetCursorState(csFetched);
    }
}

bool TMySQLRecordset::RowsReturn() {
    return GetCommand().SQLResult() != nullptr || FSQLResultNext != nullptr;
}

void TMySQLRecordset::CreateComplexFields(std::uint8_t* recBuf, bool withBlob) {
    TCRRecordSet::CreateComplexFields(recBuf, withBlob);
    if (!withBlob || UseUnicode()) {
        return;
    }
    // Without UseUnicode a wide memo keeps 8-bit text like every other memo.
    for (const auto& field : FFields) {
        if (field->IsDataField() && field->FDataType == dtWideMemo) {
            TBlob* blob = nullptr;
            std::memcpy(&blob, recBuf + field->FOffset, sizeof blob);
            blob->SetIsUnicode(false);
        }
    }
}

// --- finishing results ------------------------------------------------------------------------

void TMySQLRecordset::FreeResult(bool readAhead, bool checkState) {
    TMySQLCommand& command = GetCommand();
    TMySQLConnection* connection = command.GetConnection();
    if (PMYSQL_RES result = command.SQLResult()) {
        TMySQLAPI& api = connection->API();
        bool killed = false;
        if (FConnectionSwap && FIsCanFastClose) {
            killed = FastClose(result);
        } else if (checkState) {
            if (FWaitForFetchBreak) {
                command.BreakExec();
            }
            while (api._mysql_fetch_row(result)) {
            }
        }
        const bool more = !killed && IsClient41() && api.mysql_more_results(connection->Handle());
        command.FreeResult();
        if (more) {
            FOpenNextState = osMoreResults;
        } else {
            FOpenNextState = osNoMoreResults;
            ReleaseSwapConnection(killed);
        }
    } else if (!connection || !connection->Handle()) {
        FOpenNextState = osNoMoreResults;
    } else {
        FOpenNextState = osMoreResults;
    }
    if (readAhead && FOpenNextState == osMoreResults && !FSQLResultNext && IsClient41()) {
        ReadAhead();
    }
    if (command.GetCursorState() == csFetching || command.GetCursorState() == csFetchingAll) {
        command.SetCursorState(csFetched);
    }
}

void TMySQLRecordset::ReadAhead() {
    TMySQLConnection& connection = Connection();
    TMySQLAPI& api = connection.API();
    const PMYSQL handle = connection.Handle();
    while (!FSQLResultNext) {
        const int status = api.mysql_next_result(handle);
        if (status > 0) {
            FOpenNextState = osError;
            GetCommand().SetCursorState(csInactive);
            FCommandType = ctUnknown;
            connection.MySQLError();
        }
        if (status < 0) {
            FOpenNextState = osNoMoreResults;
            break;
        }
        FRowsAffectedNext = api.mysql_affected_rows(handle);
        FSQLResultNext = api.mysql_use_result(handle);
        connection.Check();
    }
    if (!FSQLResultNext) {
        ReleaseSwapConnection(false);
    }
}

void TMySQLRecordset::FreeResultNext() noexcept {
    if (FSQLResultNext) {
        Connection().API().mysql_free_result(FSQLResultNext);
        FSQLResultNext = nullptr;
    }
}

void TMySQLRecordset::DrainResults() {
    FreeResult(true, true);
    while (FSQLResultNext) {
        GetCommand().SetSQLResult(FSQLResultNext);
        FSQLResultNext = nullptr;
        FreeResult(true, true);
    }
}

void TMySQLRecordset::InternalClose() {
    if (FFetchAll) {
        DrainResults();
    } else {
        FreeResult(true, true);
    }
    GetCommand().SetCursorState(csInactive);
    if (!FPrepared) {
        FCommandType = ctUnknown;
    }
    for (const auto& field : FFields) {
        const auto& desc = static_cast<const TMySQLFieldDesc&>(*field);
        if (desc.FMySQLType == MYSQL_TYPE_TIMESTAMP && desc.FTableInfo) {
            desc.FTableInfo->MaxTimestamp = 0;
        }
    }
}

// --- streaming on a second connection ---------------------------------------------------------

bool TMySQLRecordset::FastClose(PMYSQL_RES result) {
    TMySQLAPI& api = Connection().API();
    for (int i = 0; i < FFetchRows; ++i) {
        if (!api._mysql_fetch_row(result)) {
            return false;
        }
    }
    platform::Assert(FConnectionSwap != nullptr, "No swap connection");
    FConnectionSwap->ExecStatement(u"KILL " + platform::IntToStr(Connection().GetThreadId()));
    while (api._mysql_fetch_row(result)) {
    }
    return true;
}

void TMySQLRecordset::QuerySwapConnection() {
    TMySQLCommand& command = GetCommand();
    if (command.SQLResult() || FConnectionSwap) {
        return;
    }
    TMySQLConnection& own = Connection();
    own.Check(own.Handle());
    // The ping is the first exchange that can hang on a dead server.
    own.API().SetTimeout(own.Handle(), command.CommandTimeout());
    own.Check(own.API().mysql_ping(own.Handle()));
    auto swap = std::make_unique<TMySQLConnection>();
    swap->Assign(own);
    swap->SetComponent(own.GetComponent());
    swap->SetAdditional(true);
    swap->Connect(u"");
    FConnectionSwap = &own;
    FSwapConnection = std::move(swap);
    command.SetConnection(FSwapConnection.get());
}

void TMySQLRecordset::ReleaseSwapConnection(bool /*killed*/) {
    if (!FConnectionSwap) {
        return;
    }
    // Statements on the second connection run in autocommit mode: there is nothing to commit,
    // and a killed connection is simply closed.
    GetCommand().SetConnection(FConnectionSwap);
    FConnectionSwap = nullptr;
    FIsCanFastClose = false;
    FSwapConnection.reset();
}

}  // namespace data_access::mysql
