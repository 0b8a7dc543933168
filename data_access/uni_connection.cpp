#include "data_access/uni_connection.h"

#include "platform/exceptions.h"

namespace data_access {

using platform::String;
using platform::StringView;

TUniConnection::TUniConnection(String name)
    : TCustomDAConnection(std::move(name)), FSpecificOptions([this] { return FProviderName; }) {
    FSpecificOptions.OnChange = [this] {
        CloseForChange();
        FOptionsChanged = true;
    };
}

void TUniConnection::SetProviderName(StringView value) {
    const StringView name = platform::Trim(value);
    if (platform::AsciiSameText(name, FProviderName)) {
        return;
    }
    if (Connected()) {
        throw platform::EDatabaseError("This operation is not allowed on active connection");
    }
    FProvider = TUniProviders::GetProvider(name);
    DropIConnection();
    FProviderName = name;
    FOptionsChanged = true;
}

TUniProvider& TUniConnection::CheckProvider() {
    if (!FProvider) {
        FProvider = &TUniProviders::CheckProvider(FProviderName);
    }
    return *FProvider;
}

void TUniConnection::CheckIConnection() {
    TUniProvider& provider = CheckProvider();
    if (!IConnection()) {
        std::unique_ptr<TCRConnection> connection = provider.CreateConnection();
        connection->SetComponent(this);
        if (provider.IsDatabaseSupported()) {
            connection->SetProp(prDatabase, Database());
        }
        if (provider.IsPortSupported()) {
            connection->SetProp(prPort, Port());
        }
        connection->SetProp(prEnableBCD, Options.EnableBCD);
        connection->SetProp(prEnableFmtBCD, Options.EnableFMTBCD);
        connection->SetProp(prDefaultSortType, Options.DefaultSortType);
        SetIConnection(std::move(connection));
        FOptionsChanged = true;
    }
    if (FOptionsChanged) {
        provider.SetConnectionProps(*IConnection(), FSpecificOptions.Lines());
        FOptionsChanged = false;
    }
}

std::unique_ptr<TParser> TUniConnection::CreateParser(StringView text) const {
    return FProvider ? FProvider->SqlFormatter().CreateParser(text)
                     : TCustomDAConnection::CreateParser(text);
}

String TUniConnection::TranslateSQL(StringView text) const {
    return FProvider ? TranslateUniSql(text, FProvider->SqlFormatter(), Macros) : String(text);
}

std::unique_ptr<TCRRecordSet> TUniConnection::CreateRecordSet() const {
    return FProvider ? FProvider->CreateRecordSet() : nullptr;
}

void TUniConnection::ApplyCommandOptions(TCRCommand& command,
                                         const std::vector<String>& lines) const {
    if (FProvider) {
        FProvider->SetCommandProps(command, lines);
    }
}

void TUniConnection::ApplyRecordSetOptions(TCRRecordSet& recordSet,
                                           const std::vector<String>& lines) const {
    if (FProvider) {
        FProvider->SetRecordSetProps(recordSet, lines);
    }
}

}  // namespace data_access
