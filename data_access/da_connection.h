#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "data_access/component.h"
#include "data_access/cr_connection.h"
#include "data_access/cr_record_set.h"
#include "data_access/parser.h"
#include "platform/text.h"

namespace data_access {

// A data set or command that uses a connection component: told when the connection opens or
// closes, and when the component goes.
class TDAConnectionClient {
public:
    virtual void ConnectChange(bool connecting) = 0;
    virtual void ConnectionDestroyed() noexcept = 0;

protected:
    ~TDAConnectionClient() = default;
};

// The generic options of a connection component.
struct TDAConnectionOptions {
    // A Connected value read from a resource connects when loading finishes.
    bool KeepDesignConnected = true;
    bool EnableBCD = false;
    bool EnableFMTBCD = false;
    int DefaultSortType = 0;
};

// The provider-neutral connection component: the settings of a connection, its provider
// connection object, connecting and disconnecting with the clients told, the count of operations
// holding it and the reaction to provider errors.
class TCustomDAConnection : public TComponent {
public:
    explicit TCustomDAConnection(platform::String name = {});
    // Disconnects; a fatal error on the way is not reported.
    ~TCustomDAConnection() override;

    const platform::String& Server() const noexcept { return FServer; }
    const platform::String& Username() const noexcept { return FUsername; }
    const platform::String& Password() const noexcept { return FPassword; }
    const platform::String& Database() const noexcept { return FDatabase; }
    int Port() const noexcept { return FPort; }
    // A changed value disconnects first.
    void SetServer(platform::StringView value);
    void SetUsername(platform::StringView value);
    void SetPassword(platform::StringView value);
    void SetPort(int value);
    // Stored trimmed; disconnects first when the provider cannot switch databases while
    // connected.
    void SetDatabase(platform::StringView value);

    // There is no login dialog: the flag is kept for the window's settings.
    bool LoginPrompt = true;
    TDAConnectionOptions Options;

    bool Connected() const noexcept;
    // While loading, only recorded.
    void SetConnected(bool value);
    void Connect();
    void Disconnect();

    // For data sets and commands: take the connection (connecting it when closed) and give it
    // back.
    void InternalConnect();
    void InternalDisconnect();
    int ConnectCount() const noexcept { return FConnectCount; }

    void RegisterClient(TDAConnectionClient* client);
    void UnregisterClient(TDAConnectionClient* client) noexcept;

    // The provider connection object, nullptr before the first connect.
    TCRConnection* IConnection() const noexcept { return FIConnection.get(); }

    // What the provider makes of the clients' work: the prefix of their option lines, the text
    // it runs for a statement text, its record sets and the options it gives them.
    virtual platform::String ProviderPrefix() const { return {}; }
    // The lexer the clients' macros are read with.
    virtual std::unique_ptr<TParser> CreateParser(platform::StringView text) const {
        return std::make_unique<TSQLParser>(text);
    }
    virtual platform::String TranslateSQL(platform::StringView text) const {
        return platform::String(text);
    }
    virtual std::unique_ptr<TCRRecordSet> CreateRecordSet() const = 0;
    virtual void ApplyCommandOptions(TCRCommand& command,
                                     const std::vector<platform::String>& lines) const = 0;
    virtual void ApplyRecordSetOptions(TCRRecordSet& recordSet,
                                       const std::vector<platform::String>& lines) const = 0;

    // Raises a provider error of an operation of this connection or one of its clients as
    // EUniError; a fatal one first marks the provider connection invalid and closes this
    // component and its clients. Call it from the handler that caught error.
    [[noreturn]] void HandleError(const EDAError& error);

    void Loaded() override;

    std::function<void()> BeforeConnect;
    std::function<void()> AfterConnect;
    std::function<void()> BeforeDisconnect;
    std::function<void()> AfterDisconnect;

protected:
    // Creates the provider connection object when there is none, and gives it the options that
    // changed.
    virtual void CheckIConnection() = 0;
    virtual bool IsDatabaseSupported() const = 0;
    virtual bool IsPortSupported() const = 0;
    // The provider connection object goes; the next connect creates a new one.
    void DropIConnection();
    // Before a setting changes: disconnects when connected (a value read from a resource is not
    // a wish to disconnect).
    void CloseForChange();
    void SetIConnection(std::unique_ptr<TCRConnection> connection);

private:
    void DoConnect();
    void DoDisconnect();
    // Closes the clients; a fatal error of one does not keep the others open.
    void NotifyDisconnect();

    platform::String FServer;
    platform::String FUsername;
    platform::String FPassword;
    platform::String FDatabase;
    int FPort = 0;
    std::unique_ptr<TCRConnection> FIConnection;
    int FConnectCount = 0;
    bool FStreamedConnected = false;
    // Set while the component closes itself after a fatal error.
    bool FDisconnectingOnError = false;
    std::vector<TDAConnectionClient*> FClients;
};

}  // namespace data_access
