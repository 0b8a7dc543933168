#include "data_access/mysql/my_command.h"

#include "data_access/cr_errors.h"
#include "data_access/mysql/my_connection.h"
#include "data_access/mysql/my_parser.h"
#include "data_access/mysql/my_sql_values.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

using namespace mysql_client;

TMySQLCommand::~TMySQLCommand() {
    FreeResult();
}

void TMySQLCommand::FreeResult() {
    if (FSQLResult) {
        FResultAPI->mysql_free_result(FSQLResult);
        FSQLResult = nullptr;
    }
}

void TMySQLCommand::SetSQLResult(PMYSQL_RES result) {
    FreeResult();
    platform::Assert(FConnection != nullptr, "No connection");
    FResultAPI = &FConnection->API();
    FSQLResult = result;
}

std::unique_ptr<TParser> TMySQLCommand::CreateParser(platform::StringView text) const {
    return std::make_unique<TMyParser>(text);
}

void TMySQLCommand::SetConnection(TCRConnection* connection) {
    if (connection == FConnection) {
        return;
    }
    FConnection = connection ? &dynamic_cast<TMySQLConnection&>(*connection) : nullptr;
}

void TMySQLCommand::SetSQL(platform::StringView text) {
    if (text == FUserSQL) {
        return;
    }
    TCRCommand::SetSQL(text);
    if (!FFillParamPosition) {
        FParamPositions.clear();
    }
    FCachedSQL.clear();
}

platform::String TMySQLCommand::ParseSQL(platform::StringView text, TParamDescs* params,
                                         platform::StringView renamePrefix) {
    if (text.find(u':') == platform::StringView::npos) {
        if (params) {
            params->clear();
        }
        return platform::String(text);
    }
    return TCRCommand::ParseSQL(text, params, renamePrefix);
}

std::size_t TMySQLCommand::ParseSQLParam(TParser& parser, std::size_t colonPos, TParamDescs* params,
                                         platform::StringView renamePrefix,
                                         platform::String& result) {
    const std::size_t count = params ? params->size() : 0;
    const std::size_t length = result.size();
    const std::size_t next =
        TCRCommand::ParseSQLParam(parser, colonPos, params, renamePrefix, result);
    if (params && params->size() > count) {
        platform::Assert(result.size() == length + 1, "A parameter marker must be one character");
        SetProp(prParamPosition, int(result.size()));
    }
    return next;
}

bool TMySQLCommand::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prCanReadParams:
            FCanReadParams = value.AsBoolean();
            return true;
        case prIsStoredProc:
            FStoredProc = value.AsBoolean();
            return true;
        case prCommandTimeout:
            FCommandTimeout = value.AsInteger();
            return true;
        case prOpenNext:
            FOpenNext = value.AsBoolean();
            return true;
        case prParamPosition:
            FParamPositions.push_back(value.AsInteger());
            return true;
        case prFillParamPosition:
            FFillParamPosition = value.AsBoolean();
            if (FFillParamPosition) {
                FParamPositions.clear();
            }
            return true;
        default:
            return TCRCommand::SetProp(prop, value);
    }
}

bool TMySQLCommand::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prRowsProcessed: {
            const int rows = FIsSelectParams ? FRowsAffectedPrev : FRowsAffected;
            value = rows == -1 ? 0 : rows;
            return true;
        }
        case prCanReadParams:
            value = FCanReadParams;
            return true;
        case prIsSelectParams:
            value = FIsSelectParams;
            return true;
        case prOpenNext:
            value = FOpenNext;
            return true;
        default:
            return TCRCommand::GetProp(prop, value);
    }
}

void TMySQLCommand::Prepare() {
    platform::Assert(FConnection != nullptr, "No connection");
    if (!FConnection->GetIsClient41()) {
        throw platform::EDatabaseError(
            "Prepare/UnPrepare is not supported by this MySQL client version");
    }
    if (!FConnection->GetIsServer41()) {
        throw platform::EDatabaseError(
            "Prepare/UnPrepare is not supported by this MySQL server version");
    }
    throw platform::ENotSupportedException(
        "Server-side prepared statements are not available in this client");
}

void TMySQLCommand::Unprepare() {}

void TMySQLCommand::Execute() {
    if (FCursorState != csInactive && FCursorState != csPrepared) {
        return;
    }
    platform::Assert(FConnection != nullptr, "No connection");
    FCanReadParams = false;
    FIsSelectParams = false;
    const TCursorState oldState = FCursorState;
    try {
        platform::Assert(FConnection->Handle() != nullptr, "No connection handle");
        TMySQLAPI& api = FConnection->API();
        api.SetTimeout(FConnection->Handle(), FCommandTimeout);
        if (dynamic_cast<TMySQLAPIDirect*>(&api)) {
            FConnection->Handle()->FSkipPacket = FStoredProc;
        }
        {
            const std::lock_guard lock(FBreakExecCS);
            FExecuting = true;
            FWaitForBreak = false;
        }
        FCursorState = csExecuting;
        ExecuteText();
        if (!FSQLResult) {
            FCursorState = csInactive;
        }
        const std::lock_guard lock(FBreakExecCS);
        FExecuting = false;
    } catch (...) {
        if (FCursorState != csInactive) {
            FCursorState = oldState;
        }
        bool broken = false;
        {
            const std::lock_guard lock(FBreakExecCS);
            FExecuting = false;
            broken = FWaitForBreak;
        }
        if (AfterExecute) {
            AfterExecute(false);
        }
        if (broken) {
            throw EAbort();
        }
        throw;
    }
    if (AfterExecute) {
        AfterExecute(true);
    }
}

void TMySQLCommand::ExecuteText() {
    const PMYSQL handle = FConnection->Handle();
    TMySQLAPI& api = FConnection->API();
    if (!FOpenNext) {
        std::string bytes;
        if (!FParams.empty() && FSQL.find(u'?') != platform::String::npos) {
            bytes = PlaceParamValues();
            if (OnExecute) {
                OnExecute(FConnection->UseUnicode() ? platform::Utf8ToUtf16(bytes)
                                                    : platform::AnsiToUtf16(bytes));
            }
        } else {
            if (OnExecute) {
                OnExecute(FSQL);
            }
            bytes = Encode(FSQL);
        }
        FConnection->Check(api.mysql_real_query(handle, bytes.data(), bytes.size()));
    }
    FRowsAffectedPrev = FRowsAffected;
    FRowsAffected = CalcRowsAffected();
    if (!FRequestResultset) {
        DiscardResults();
    } else if (!FOpenNext) {
        OpenResult();
    }
}

// Runs a multi-statement text to its end: every result is freed unread, and only errors surface.
void TMySQLCommand::DiscardResults() {
    const PMYSQL handle = FConnection->Handle();
    TMySQLAPI& api = FConnection->API();
    if (PMYSQL_RES result = api.mysql_use_result(handle)) {
        api.mysql_free_result(result);
    }
    if (!FConnection->GetIsClient41()) {
        return;
    }
    int status = 0;
    while ((status = api.mysql_next_result(handle)) == 0) {
        if (PMYSQL_RES result = api.mysql_use_result(handle)) {
            api.mysql_free_result(result);
        }
    }
    if (status > 0) {
        FConnection->MySQLError();
    }
}

// Keeps the first result with columns open for the record set; its rows stay on the wire.
void TMySQLCommand::OpenResult() {
    const PMYSQL handle = FConnection->Handle();
    TMySQLAPI& api = FConnection->API();
    platform::Assert(FSQLResult == nullptr, "FSQLResult must be nil");
    FResultAPI = &api;
    FSQLResult = api.mysql_use_result(handle);
    FConnection->Check();
    if (!FConnection->GetIsClient41()) {
        return;
    }
    while (!FSQLResult && api.mysql_more_results(handle)) {
        const int status = api.mysql_next_result(handle);
        if (status > 0) {
            FCursorState = csInactive;
            FConnection->MySQLError();
        }
        if (status < 0) {
            break;
        }
        FRowsAffected = CalcRowsAffected();
        FSQLResult = api.mysql_use_result(handle);
    }
}

int TMySQLCommand::CalcRowsAffected() {
    const PMYSQL handle = FConnection->Handle();
    TMySQLAPI& api = FConnection->API();
    FCursorState = api.mysql_field_count(handle) != 0 ? csExecuted : csInactive;
    return int(api.mysql_affected_rows(handle));
}

std::string TMySQLCommand::Encode(platform::StringView text) const {
    return FConnection->UseUnicode() ? platform::Utf16ToUtf8(text) : platform::Utf16ToAnsi(text);
}

void TMySQLCommand::FillCachedSQL() {
    if (!FCachedSQL.empty()) {
        return;
    }
    TMyParser parser(FSQL);
    parser.SetOmitBlank(false);
    parser.SetOmitComment(true);
    parser.SetQuotedString(true);
    std::size_t start = 0;
    while (parser.ToLexem(u"?")) {
        FCachedSQL.push_back(FSQL.substr(start, parser.LexemPos() - start));
        start = parser.CurrPos();
    }
    FCachedSQL.push_back(FSQL.substr(start));
}

std::string TMySQLCommand::PlaceParamValues() {
    const TSQLValueContext context{FConnection->UseUnicode(), FConnection->NeedBackslashes()};
    std::size_t declared = 0;
    for (const TParamDesc& param : FParams) {
        declared += std::size_t(std::max(param.Size, 0));
    }
    std::string out;
    out.reserve(FSQL.size() + 2 * declared);
    if (!FParamPositions.empty()) {
        platform::Assert(FStoredProc || FParamPositions.size() == FParams.size(),
                         "Parameter positions do not match the parameters");
        std::size_t start = 0;
        for (std::size_t i = 0; i < FParamPositions.size() && i < FParams.size(); ++i) {
            const std::size_t marker = std::size_t(FParamPositions[i] - 1);
            platform::Assert(FParamPositions[i] > 0 && marker >= start && marker < FSQL.size(),
                             "Parameter position out of the text");
            out += Encode(platform::StringView(FSQL).substr(start, marker - start));
            AppendValueToSQL(FParams[i], context, out);
            start = marker + 1;
        }
        out += Encode(platform::StringView(FSQL).substr(start));
        return out;
    }
    FillCachedSQL();
    // A procedure call takes its input-output parameters first; its result is not in the text.
    std::vector<const TParamDesc*> order;
    for (const TParamDesc& param : FParams) {
        if (!FStoredProc || param.ParamType == pdInputOutput) {
            order.push_back(&param);
        }
    }
    if (FStoredProc) {
        for (const TParamDesc& param : FParams) {
            if (param.ParamType != pdInputOutput && param.ParamType != pdResult) {
                order.push_back(&param);
            }
        }
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < FCachedSQL.size(); ++i) {
        out += Encode(FCachedSQL[i]);
        if (i + 1 == FCachedSQL.size()) {
            break;
        }
        if (next < order.size()) {
            AppendValueToSQL(*order[next++], context, out);
        } else {
            // A marker without a parameter stays as written; the server judges it.
            out += '?';
        }
    }
    return out;
}

void TMySQLCommand::BreakExec() {
    const std::lock_guard lock(FBreakExecCS);
    if (!FExecuting) {
        return;
    }
    FWaitForBreak = true;
    try {
        TMySQLConnection breaker;
        breaker.Assign(*FConnection);
        breaker.OnError = nullptr;
        breaker.SetAdditional(true);
        breaker.Connect(u"");
        breaker.ExecStatement(u"KILL " + platform::IntToStr(FConnection->GetThreadId()));
    } catch (const platform::Exception&) {
        // The running execution fails or finishes either way.
    }
}

}  // namespace data_access::mysql
