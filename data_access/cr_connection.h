#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "data_access/cr_props.h"
#include "data_access/da_error.h"
#include "platform/text.h"

namespace data_access {

class TCRCommand;

// A provider's live connection to a server, as the connection component sees it: settings by
// property number, connect and disconnect, a validity flag, and the error handling that may
// reconnect.
class TCRConnection {
public:
    // Asked about every error raised on the connection. fail starts true and decides whether the
    // error is raised; reconnect asks for a reconnect attempt, reexecute for the failed operation
    // to be repeated after a successful one. attempt counts the failed reconnects so far.
    using TErrorProc = std::function<void(const EDAError& error, bool& fail, bool& reconnect,
                                          bool& reexecute, int attempt)>;

    TCRConnection() = default;
    virtual ~TCRConnection() = default;

    TCRConnection(const TCRConnection&) = delete;
    TCRConnection& operator=(const TCRConnection&) = delete;

    // A command object of the provider's command class.
    virtual std::unique_ptr<TCRCommand> CreateCommand() = 0;

    virtual void Connect(platform::StringView connectString);
    virtual void Disconnect() = 0;
    // Copies the settings, not the connection.
    virtual void Assign(const TCRConnection& source);
    // Uses the connection of source (borrowed, never closed by this object).
    virtual void AssignConnect(TCRConnection* source) = 0;

    virtual void SetUsername(platform::StringView value);
    virtual void SetPassword(platform::StringView value);
    virtual void SetServer(platform::StringView value);

    // Asks the server whether the connection still works; the answer is kept as IsValid.
    virtual bool CheckIsValid() = 0;
    virtual platform::String GetServerVersion() = 0;
    virtual platform::String GetServerVersionFull() = 0;
    virtual platform::String GetClientVersion() = 0;
    virtual bool CanChangeDatabase() { return true; }

    // True when the number is handled; a number no class handles is an assertion failure.
    virtual bool SetProp(int prop, const TPropValue& value);
    virtual bool GetProp(int prop, TPropValue& value);

    bool GetConnected() const noexcept { return FConnected; }
    bool IsValid() const noexcept { return FIsValid; }
    // The component clears the flag after a fatal error.
    void SetIsValid(bool value) noexcept { FIsValid = value; }
    // Tick count (milliseconds) of the last successful connect.
    std::uint32_t ConnectionTime() const noexcept { return FConnectionTime; }

    TComponent* GetComponent() const noexcept { return FComponent; }
    void SetComponent(TComponent* component) noexcept { FComponent = component; }

    TErrorProc OnError;
    std::function<void()> OnReconnectError;
    std::function<void()> OnReconnectSuccess;

protected:
    // Offers an error to OnError. Unless an error is being handled already, the handler may ask
    // for reconnects: the first attempt disconnects, every attempt connects; a successful one
    // calls OnReconnectSuccess and, when the handler asked to repeat the operation, raises
    // EFailOver. OnReconnectError is called when the handler gives up after a failed attempt.
    virtual void DoError(const EDAError& error, bool& fail);

    // Milliseconds since system start.
    static std::uint32_t TickCount();

    std::uint32_t FConnectionTime = 0;
    bool FConnected = false;
    bool FNativeConnection = true;
    platform::String FUsername;
    platform::String FPassword;
    platform::String FServer;
    bool FAutoCommit = true;
    bool FConvertEOL = false;
    bool FIsValid = false;
    TComponent* FComponent = nullptr;
    bool FDisconnectedMode = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    int FDefaultSortType = 0;
    bool FInProcessError = false;
    bool FReconnected = false;
};

}  // namespace data_access
