#include "data_access/cr_connection.h"

#include <chrono>

#include "data_access/cr_errors.h"

namespace data_access {

void TCRConnection::Connect(platform::StringView) {}

void TCRConnection::Assign(const TCRConnection& source) {
    FUsername = source.FUsername;
    FPassword = source.FPassword;
    FServer = source.FServer;
    FAutoCommit = source.FAutoCommit;
    FConvertEOL = source.FConvertEOL;
    FComponent = source.FComponent;
    FDisconnectedMode = source.FDisconnectedMode;
    FEnableBCD = source.FEnableBCD;
    FEnableFMTBCD = source.FEnableFMTBCD;
    FDefaultSortType = source.FDefaultSortType;
    OnError = source.OnError;
}

void TCRConnection::SetUsername(platform::StringView value) {
    FUsername = value;
}

void TCRConnection::SetPassword(platform::StringView value) {
    FPassword = value;
}

void TCRConnection::SetServer(platform::StringView value) {
    FServer = value;
}

bool TCRConnection::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prUsername:
            SetUsername(value.AsString());
            return true;
        case prPassword:
            SetPassword(value.AsString());
            return true;
        case prServer:
            SetServer(value.AsString());
            return true;
        case prAutoCommit:
            FAutoCommit = value.AsBoolean();
            return true;
        case prDisconnectedMode:
            FDisconnectedMode = value.AsBoolean();
            return true;
        case prEnableBCD:
            FEnableBCD = value.AsBoolean();
            return true;
        case prEnableFmtBCD:
            FEnableFMTBCD = value.AsBoolean();
            return true;
        case prDefaultSortType:
            FDefaultSortType = value.AsInteger();
            return true;
        default:
            UnknownProperty(prop);
    }
}

bool TCRConnection::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prUsername:
            value = FUsername;
            return true;
        case prPassword:
            value = FPassword;
            return true;
        case prServer:
            value = FServer;
            return true;
        case prAutoCommit:
            value = FAutoCommit;
            return true;
        case prDisconnectedMode:
            value = FDisconnectedMode;
            return true;
        case prEnableBCD:
            value = FEnableBCD;
            return true;
        case prEnableFmtBCD:
            value = FEnableFMTBCD;
            return true;
        case prDefaultSortType:
            value = FDefaultSortType;
            return true;
        default:
            UnknownProperty(prop);
    }
}

void TCRConnection::DoError(const EDAError& error, bool& fail) {
    if (!OnError || FInProcessError) {
        return;
    }
    FInProcessError = true;
    FReconnected = false;
    try {
        int attempt = 0;
        bool reconnect = true;
        while (reconnect) {
            reconnect = false;
            bool reexecute = false;
            OnError(error, fail, reconnect, reexecute, attempt);
            if (!reconnect) {
                break;
            }
            if (attempt == 0) {
                try {
                    Disconnect();
                } catch (const platform::Exception&) {
                    // The connection is gone already; closing it may fail as well.
                }
            }
            try {
                Connect(u"");
            } catch (const platform::Exception&) {
                ++attempt;
                continue;
            }
            FReconnected = true;
            if (OnReconnectSuccess) {
                OnReconnectSuccess();
            }
            if (reexecute) {
                throw EFailOver(error.ErrorCode(), error.Message());
            }
            break;
        }
        if (!FReconnected && attempt > 0 && OnReconnectError) {
            OnReconnectError();
        }
    } catch (...) {
        FInProcessError = false;
        throw;
    }
    FInProcessError = false;
}

std::uint32_t TCRConnection::TickCount() {
    using namespace std::chrono;
    return std::uint32_t(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace data_access
