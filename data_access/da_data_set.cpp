#include "data_access/da_data_set.h"

#include "platform/exceptions.h"

namespace data_access {

using platform::String;

TCustomDADataSet::TCustomDADataSet(String name)
    : TComponent(name), FCommand(std::move(name)), FSpecificOptions([this] {
          return Connection() ? Connection()->ProviderPrefix() : String();
      }) {
    FCommand.AfterSQLChange = [this] { SQLChanged(); };
    FSpecificOptions.OnChange = [this] { FOptionsChanged = true; };
}

TCustomDADataSet::~TCustomDADataSet() {
    try {
        Close();
    } catch (...) {
        // Nothing is left to report a failure to.
    }
    SetConnection(nullptr);
}

void TCustomDADataSet::SetConnection(TCustomDAConnection* connection) {
    if (connection == Connection()) {
        return;
    }
    CloseForChange();
    if (Connection()) {
        Connection()->UnregisterClient(this);
    }
    FCommand.SetConnection(connection);
    FRecordSetConnection = nullptr;
    FOptionsChanged = true;
    if (connection) {
        connection->RegisterClient(this);
    }
}

void TCustomDADataSet::ConnectChange(bool connecting) {
    if (!connecting) {
        CloseForChange();
    }
}

void TCustomDADataSet::CloseForChange() {
    if (Active()) {
        Close();
    }
}

void TCustomDADataSet::ConnectionDestroyed() noexcept {
    try {
        Close();
    } catch (...) {
        // The connection goes regardless.
    }
    FHeldConnection = nullptr;
    FCommand.SetConnection(nullptr);
    FRecordSetConnection = nullptr;
}

void TCustomDADataSet::SQLChanged() {
    CloseForChange();
    if (HasData()) {
        if (RecordSet().Prepared()) {
            RecordSet().UnPrepare();
        }
        RecordSet().GetCommand().SetCursorState(csInactive);
    }
}

void TCustomDADataSet::SetActive(bool value) {
    if (Loading()) {
        FStreamedActive = value;
        return;
    }
    TMemDataSet::SetActive(value);
}

void TCustomDADataSet::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive && (!Connection() || Connection()->Options.KeepDesignConnected)) {
        Open();
    }
}

int TCustomDADataSet::RowsAffected() {
    if (!HasData()) {
        return -1;
    }
    TPropValue rows;
    RecordSet().GetCommand().GetProp(prRowsProcessed, rows);
    return rows.AsInteger();
}

TCRRecordSet& TCustomDADataSet::CheckRecordSet(TCustomDAConnection& connection) {
    TCRConnection* iconnection = connection.IConnection();
    if (!HasData() || FRecordSetConnection != iconnection) {
        std::unique_ptr<TCRRecordSet> recordSet = connection.CreateRecordSet();
        recordSet->GetCommand().SetComponent(this);
        SetData(std::move(recordSet));
        FRecordSetConnection = iconnection;
        FOptionsChanged = true;
    }
    TCRRecordSet& recordSet = RecordSet();
    recordSet.SetConnection(iconnection);
    recordSet.SetProp(prUniDirectional, UniDirectional);
    recordSet.SetProp(prFetchRows, FetchRows);
    recordSet.SetProp(prReadOnly, ReadOnly);
    recordSet.SetProp(prLongStrings, Options.LongStrings);
    recordSet.SetTrimFixedChar(Options.TrimFixedChar);
    recordSet.SetTrimVarChar(Options.TrimVarChar);
    if (FOptionsChanged) {
        connection.ApplyRecordSetOptions(recordSet, FSpecificOptions.Lines());
        FOptionsChanged = false;
    }
    recordSet.GetCommand().SetDisableParamScan(!FCommand.ParamCheck);
    return recordSet;
}

void TCustomDADataSet::InternalOpen() {
    TCustomDAConnection& connection = UsedConnection(Connection());
    connection.InternalConnect();
    FHeldConnection = &connection;
    try {
        CheckRecordSet(connection).SetSQL(FinalSQL());
        TMemDataSet::InternalOpen();
    } catch (const EDAError& error) {
        ReleaseConnection();
        connection.HandleError(error);
    } catch (...) {
        ReleaseConnection();
        throw;
    }
}

void TCustomDADataSet::InternalClose() {
    try {
        TMemDataSet::InternalClose();
    } catch (const EDAError& error) {
        // Closing over a lost connection: the rows are gone with it.
        if (!error.IsFatalError()) {
            ReleaseConnection();
            throw;
        }
    }
    ReleaseConnection();
}

void TCustomDADataSet::ReleaseConnection() noexcept {
    if (FHeldConnection) {
        std::exchange(FHeldConnection, nullptr)->InternalDisconnect();
    }
}

}  // namespace data_access
