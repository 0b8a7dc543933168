#include "data_access/da_sql.h"

#include "platform/exceptions.h"

namespace data_access {

using platform::String;

TCustomDAConnection& UsedConnection(TCustomDAConnection* connection) {
    if (!connection) {
        throw platform::EDatabaseError("Connection is not defined");
    }
    return *connection;
}

TCustomDASQL::TCustomDASQL(String name)
    : TComponent(std::move(name)),
      FMacros([this](platform::StringView text) {
          return FConnection ? FConnection->CreateParser(text) : std::make_unique<TSQLParser>(text);
      }),
      FSpecificOptions([this] { return FConnection ? FConnection->ProviderPrefix() : String(); }) {
    FSQL.OnChange = [this] { SQLChanged(); };
    FSpecificOptions.OnChange = [this] { FOptionsChanged = true; };
}

TCustomDASQL::~TCustomDASQL() {
    SetConnection(nullptr);
}

void TCustomDASQL::SetConnection(TCustomDAConnection* connection) {
    if (connection == FConnection) {
        return;
    }
    if (FConnection) {
        FConnection->UnregisterClient(this);
    }
    FConnection = connection;
    FICommand.reset();
    FICommandConnection = nullptr;
    FOptionsChanged = true;
    if (FConnection) {
        FConnection->RegisterClient(this);
    }
}

void TCustomDASQL::ConnectionDestroyed() noexcept {
    FConnection = nullptr;
    FICommand.reset();
    FICommandConnection = nullptr;
}

void TCustomDASQL::SQLChanged() {
    FMacros.Scan(FSQL.Text());
    if (FICommand) {
        FICommand->Unprepare();
    }
    if (AfterSQLChange) {
        AfterSQLChange();
    }
}

String TCustomDASQL::FinalSQL() const {
    String text(platform::TrimRight(FSQL.Text()));
    if (FMacros.Count() > 0) {
        text = FMacros.Expand(text);
    }
    return FConnection ? FConnection->TranslateSQL(text) : text;
}

TCRCommand& TCustomDASQL::CheckICommand(TCustomDAConnection& connection) {
    TCRConnection* iconnection = connection.IConnection();
    if (!FICommand || FICommandConnection != iconnection) {
        FICommand = iconnection->CreateCommand();
        FICommand->SetComponent(this);
        FICommandConnection = iconnection;
        FOptionsChanged = true;
    }
    FICommand->SetConnection(iconnection);
    if (FOptionsChanged) {
        connection.ApplyCommandOptions(*FICommand, FSpecificOptions.Lines());
        FOptionsChanged = false;
    }
    return *FICommand;
}

void TCustomDASQL::Execute() {
    TCustomDAConnection& connection = UsedConnection(FConnection);
    connection.InternalConnect();
    try {
        TCRCommand& command = CheckICommand(connection);
        command.SetDisableParamScan(!ParamCheck);
        command.SetSQL(FinalSQL());
        command.Execute();
        TPropValue rows;
        command.GetProp(prRowsProcessed, rows);
        FRowsAffected = rows.AsInteger();
    } catch (const EDAError& error) {
        connection.InternalDisconnect();
        connection.HandleError(error);
    } catch (...) {
        connection.InternalDisconnect();
        throw;
    }
    connection.InternalDisconnect();
}

}  // namespace data_access
