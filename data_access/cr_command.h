#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>

#include "data_access/cr_props.h"
#include "data_access/param_desc.h"
#include "data_access/parser.h"
#include "platform/text.h"

namespace data_access {

class TComponent;
class TCRConnection;

// Where a command's statement is in its life; the numbers are fixed.
enum TCursorState {
    csInactive = 0,
    csOpen = 1,
    csParsed = 2,
    csPrepared = 3,
    csBound = 4,
    csExecuteFetchAll = 5,
    csExecuting = 6,
    csExecuted = 7,
    csFetching = 8,
    csFetchingAll = 9,
    csFetched = 10,
};

// A provider's command: one SQL text, the parameters found in it and its execution.
class TCRCommand {
public:
    TCRCommand() = default;
    virtual ~TCRCommand() = default;

    TCRCommand(const TCRCommand&) = delete;
    TCRCommand& operator=(const TCRCommand&) = delete;

    virtual void Prepare() {}
    virtual void Unprepare() {}
    virtual bool GetPrepared() const = 0;
    virtual void Execute() = 0;

    virtual void SetConnection(TCRConnection* connection) = 0;
    virtual TCursorState GetCursorState() const = 0;
    virtual void SetCursorState(TCursorState value) = 0;

    // Stores the text; unless scanning is disabled, each parameter reference ":name" becomes a
    // "?" in the text that is sent and a parameter in Params.
    virtual void SetSQL(platform::StringView text);
    // The text with its parameter references replaced: by "?" when params is given (the
    // parameters are added to it, which is cleared first), by renamePrefix and the name when a
    // prefix is given. Quoted strings, quoted names and comments are left alone.
    virtual platform::String ParseSQL(platform::StringView text, TParamDescs* params,
                                      platform::StringView renamePrefix = {});

    virtual bool SetProp(int prop, const TPropValue& value);
    virtual bool GetProp(int prop, TPropValue& value);
    // Cancels a running execution from another thread.
    virtual void BreakExec() {}

    const platform::String& UserSQL() const noexcept { return FUserSQL; }
    // The text that is sent.
    const platform::String& SQL() const noexcept { return FSQL; }
    TParamDescs& Params() noexcept { return FParams; }
    const TParamDescs& Params() const noexcept { return FParams; }

    TComponent* GetComponent() const noexcept { return FComponent; }
    void SetComponent(TComponent* component) noexcept { FComponent = component; }
    // With scanning disabled the text is used unchanged.
    void SetDisableParamScan(bool value) noexcept { FDisableParamScan = value; }

    // Called after every execution: true on success, false on failure.
    std::function<void(bool success)> AfterExecute;

protected:
    // The lexer of this provider's SQL.
    virtual std::unique_ptr<TParser> CreateParser(platform::StringView text) const = 0;
    // The quotes of an identifier: a quoted parameter name is named without them.
    virtual std::pair<char16_t, char16_t> IdentQuotes() const { return {u'"', u'"'}; }
    // Reads the reference after a ":" and writes what replaces it (or the text as it was) to
    // result; returns the position of the text after it.
    virtual std::size_t ParseSQLParam(TParser& parser, std::size_t colonPos, TParamDescs* params,
                                      platform::StringView renamePrefix, platform::String& result);

    platform::String FUserSQL;
    platform::String FSQL;
    TParamDescs FParams;
    TComponent* FComponent = nullptr;
    bool FExecuting = false;
    bool FDisableParamScan = false;
    int FCompressBlob = 0;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
};

}  // namespace data_access
