#pragma once

#include <functional>
#include <memory>

#include "data_access/component.h"
#include "data_access/cr_command.h"
#include "data_access/da_connection.h"
#include "data_access/macros.h"
#include "data_access/uni_options.h"
#include "platform/text.h"

namespace data_access {

// The command component: a statement text run on a connection component, its result not kept.
class TCustomDASQL : public TComponent, private TDAConnectionClient {
public:
    explicit TCustomDASQL(platform::String name = {});
    ~TCustomDASQL() override;

    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* connection);

    // The statement text, line by line.
    platform::TStringList& SQL() noexcept { return FSQL; }
    // The "&name" macros of the text, found whenever it changes.
    TMacros& Macros() noexcept { return FMacros; }
    // Provider option lines of the command.
    TSpecificOptionsList& SpecificOptions() noexcept { return FSpecificOptions; }
    // The text's ":name" references are parameters (off: the text goes as it is).
    bool ParamCheck = true;

    // The text that runs: the lines joined with CR LF, without trailing characters below 33,
    // with its macros expanded, in the provider's forms.
    platform::String FinalSQL() const;

    // Connects the connection when closed and runs the text once; rows it returns are dropped.
    // Raises "Connection is not defined" without a connection.
    void Execute();
    // Rows the last execution processed.
    int RowsAffected() const noexcept { return FRowsAffected; }

    // Runs after every change of the text, once the command has dropped what it prepared.
    std::function<void()> AfterSQLChange;

private:
    void ConnectChange(bool) override {}
    void ConnectionDestroyed() noexcept override;
    void SQLChanged();
    // The provider command on the connection's current provider object.
    TCRCommand& CheckICommand(TCustomDAConnection& connection);

    TCustomDAConnection* FConnection = nullptr;
    platform::TStringList FSQL;
    TMacros FMacros;
    TSpecificOptionsList FSpecificOptions;
    bool FOptionsChanged = true;
    std::unique_ptr<TCRCommand> FICommand;
    // The provider connection FICommand was made for.
    TCRConnection* FICommandConnection = nullptr;
    int FRowsAffected = 0;
};

// Raises "Connection is not defined" when connection is nullptr.
TCustomDAConnection& UsedConnection(TCustomDAConnection* connection);

}  // namespace data_access
