#include "data_access/da_connection.h"

#include <algorithm>
#include <exception>

#include "data_access/uni_error.h"

namespace data_access {

using platform::String;
using platform::StringView;

TCustomDAConnection::TCustomDAConnection(String name) : TComponent(std::move(name)) {}

TCustomDAConnection::~TCustomDAConnection() {
    try {
        Disconnect();
    } catch (...) {
        // Nothing is left to report a failure to.
    }
    for (TDAConnectionClient* client : std::exchange(FClients, {})) {
        client->ConnectionDestroyed();
    }
}

void TCustomDAConnection::SetServer(StringView value) {
    if (value != FServer) {
        CloseForChange();
        FServer = value;
    }
}

void TCustomDAConnection::SetUsername(StringView value) {
    if (value != FUsername) {
        CloseForChange();
        FUsername = value;
    }
}

void TCustomDAConnection::SetPassword(StringView value) {
    if (value != FPassword) {
        CloseForChange();
        FPassword = value;
    }
}

void TCustomDAConnection::SetPort(int value) {
    if (value == FPort) {
        return;
    }
    CloseForChange();
    FPort = value;
    if (FIConnection && IsPortSupported()) {
        FIConnection->SetProp(prPort, FPort);
    }
}

void TCustomDAConnection::SetDatabase(StringView value) {
    const String trimmed(platform::Trim(value));
    if (trimmed == FDatabase) {
        return;
    }
    if (!FIConnection || !FIConnection->CanChangeDatabase()) {
        CloseForChange();
    }
    FDatabase = trimmed;
    if (FIConnection && IsDatabaseSupported()) {
        try {
            FIConnection->SetProp(prDatabase, FDatabase);
        } catch (const EDAError& error) {
            HandleError(error);
        }
    }
}

bool TCustomDAConnection::Connected() const noexcept {
    return FIConnection && FIConnection->GetConnected();
}

void TCustomDAConnection::SetConnected(bool value) {
    if (value) {
        Connect();
    } else {
        Disconnect();
    }
}

void TCustomDAConnection::Connect() {
    if (Loading()) {
        FStreamedConnected = true;
        return;
    }
    if (Connected()) {
        return;
    }
    DoConnect();
    ++FConnectCount;
}

void TCustomDAConnection::DoConnect() {
    if (BeforeConnect) {
        BeforeConnect();
    }
    CheckIConnection();
    try {
        FIConnection->SetUsername(FUsername);
        FIConnection->SetPassword(FPassword);
        FIConnection->SetServer(FServer);
        FIConnection->Connect(u"");
    } catch (const EDAError& error) {
        HandleError(error);
    }
    if (FDatabase.empty() && IsDatabaseSupported()) {
        TPropValue database;
        FIConnection->GetProp(prDatabase, database);
        FDatabase = database.AsString();
    }
    for (TDAConnectionClient* client : std::vector(FClients)) {
        client->ConnectChange(true);
    }
    if (AfterConnect) {
        AfterConnect();
    }
}

void TCustomDAConnection::Disconnect() {
    if (Loading()) {
        FStreamedConnected = false;
        return;
    }
    if (Connected()) {
        DoDisconnect();
    }
}

void TCustomDAConnection::CloseForChange() {
    if (Connected()) {
        DoDisconnect();
    }
}

void TCustomDAConnection::DoDisconnect() {
    FConnectCount = 0;
    if (BeforeDisconnect) {
        BeforeDisconnect();
    }
    NotifyDisconnect();
    if (FIConnection && FIConnection->GetConnected()) {
        FIConnection->Disconnect();
    }
    if (AfterDisconnect) {
        AfterDisconnect();
    }
}

void TCustomDAConnection::NotifyDisconnect() {
    for (TDAConnectionClient* client : std::vector(FClients)) {
        try {
            client->ConnectChange(false);
        } catch (const EDAError& error) {
            if (!error.IsFatalError()) {
                throw;
            }
        }
    }
}

void TCustomDAConnection::InternalConnect() {
    ++FConnectCount;
    if (Connected()) {
        return;
    }
    try {
        DoConnect();
    } catch (...) {
        --FConnectCount;
        throw;
    }
}

void TCustomDAConnection::InternalDisconnect() {
    FConnectCount = std::max(FConnectCount - 1, 0);
}

void TCustomDAConnection::RegisterClient(TDAConnectionClient* client) {
    if (std::find(FClients.begin(), FClients.end(), client) == FClients.end()) {
        FClients.push_back(client);
    }
}

void TCustomDAConnection::UnregisterClient(TDAConnectionClient* client) noexcept {
    std::erase(FClients, client);
}

void TCustomDAConnection::HandleError(const EDAError& error) {
    const std::exception_ptr current = std::current_exception();
    // Raised here already, on its way out of a nested operation.
    if (dynamic_cast<const EUniError*>(&error)) {
        std::rethrow_exception(current);
    }
    if (error.IsFatalError()) {
        if (FIConnection) {
            FIConnection->SetIsValid(false);
        }
        if (!FDisconnectingOnError) {
            FDisconnectingOnError = true;
            try {
                DoDisconnect();
            } catch (...) {
                // The connection is gone already; the error that says so is raised below.
            }
            FDisconnectingOnError = false;
        }
    }
    EUniError uniError(error, current);
    if (!uniError.Component()) {
        uniError.SetComponent(this);
    }
    throw uniError;
}

void TCustomDAConnection::Loaded() {
    TComponent::Loaded();
    if (FStreamedConnected && Options.KeepDesignConnected) {
        Connect();
    }
}

void TCustomDAConnection::DropIConnection() {
    FIConnection.reset();
}

void TCustomDAConnection::SetIConnection(std::unique_ptr<TCRConnection> connection) {
    FIConnection = std::move(connection);
}

}  // namespace data_access
