#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "data_access/cr_command.h"
#include "data_access/mysql/my_props.h"
#include "mysql_client/mysql_api.h"

namespace data_access::mysql {

class TMySQLConnection;

// One SQL text on a MySQL connection: parameter scanning, splicing of parameter values into the
// text, execution as a text query, and the result set a record set asks for.
class TMySQLCommand : public TCRCommand {
public:
    TMySQLCommand() = default;
    // Frees a result set that is still open.
    ~TMySQLCommand() override;

    void Prepare() override;
    void Unprepare() override;
    bool GetPrepared() const override { return false; }
    // Runs the text once. Does nothing while a result set is open (state other than csInactive
    // or csPrepared).
    void Execute() override;

    void SetConnection(TCRConnection* connection) override;
    TMySQLConnection* GetConnection() const noexcept { return FConnection; }
    TCursorState GetCursorState() const override { return FCursorState; }
    void SetCursorState(TCursorState value) override { FCursorState = value; }

    void SetSQL(platform::StringView text) override;
    // A text without ":" keeps no parameters and is returned unchanged. Otherwise each
    // parameter found records the 1-based position of its "?" (prParamPosition).
    platform::String ParseSQL(platform::StringView text, TParamDescs* params,
                              platform::StringView renamePrefix = {}) override;

    bool SetProp(int prop, const TPropValue& value) override;
    bool GetProp(int prop, TPropValue& value) override;
    // From another thread: kills the running execution's server connection through an
    // auxiliary connection; the execution then ends with a silent abort.
    void BreakExec() override;

    void SetCommandTimeout(int seconds) noexcept { FCommandTimeout = seconds; }
    int CommandTimeout() const noexcept { return FCommandTimeout; }
    // Rows affected by the last statement (-1 when the server reports none).
    int RowsAffected() const noexcept { return FRowsAffected; }
    // Rows affected of the last statement; csExecuted when it returned columns, else csInactive.
    int CalcRowsAffected();
    // The statement bytes with the parameter values in place of the "?" markers.
    std::string PlaceParamValues();

    // For the record set: keep the first result set with columns open as SQLResult; with
    // OpenNext (prOpenNext) Execute sends nothing and the record set reads the next result.
    void SetRequestResultset(bool value) noexcept { FRequestResultset = value; }
    mysql_client::PMYSQL_RES SQLResult() const noexcept { return FSQLResult; }
    // Frees the open result set, if any, discarding its unread rows.
    void FreeResult();
    // Takes over a result of this command's text that the record set read ahead, as the open
    // result set; frees the one open before.
    void SetSQLResult(mysql_client::PMYSQL_RES result);

    // Called with the final SQL text just before it is sent.
    std::function<void(const platform::String& sql)> OnExecute;

protected:
    std::unique_ptr<TParser> CreateParser(platform::StringView text) const override;
    std::pair<char16_t, char16_t> IdentQuotes() const override { return {u'`', u'`'}; }
    std::size_t ParseSQLParam(TParser& parser, std::size_t colonPos, TParamDescs* params,
                              platform::StringView renamePrefix, platform::String& result) override;

private:
    void ExecuteText();
    void DiscardResults();
    void OpenResult();
    std::string Encode(platform::StringView text) const;
    void FillCachedSQL();

    TMySQLConnection* FConnection = nullptr;
    int FCommandTimeout = 0;
    TCursorState FCursorState = csInactive;
    int FRowsAffected = -1;
    int FRowsAffectedPrev = 0;
    bool FStoredProc = false;
    bool FCanReadParams = false;
    bool FIsSelectParams = false;
    bool FRequestResultset = false;
    std::vector<platform::String> FCachedSQL;
    std::vector<int> FParamPositions;
    bool FFillParamPosition = false;
    bool FOpenNext = false;
    mysql_client::PMYSQL_RES FSQLResult = nullptr;
    // The facade that made FSQLResult and frees it.
    mysql_client::TMySQLAPI* FResultAPI = nullptr;
    std::mutex FBreakExecCS;
    bool FWaitForBreak = false;
};

}  // namespace data_access::mysql
