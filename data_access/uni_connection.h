#pragma once

#include "data_access/da_connection.h"
#include "data_access/uni_options.h"
#include "data_access/uni_provider.h"
#include "data_access/uni_sql_translator.h"

namespace data_access {

// The connection component that chooses its provider by name and hands the provider its option
// lines ("Provider.Option=Value", one per line).
class TUniConnection : public TCustomDAConnection {
public:
    explicit TUniConnection(platform::String name = {});

    const platform::String& ProviderName() const noexcept { return FProviderName; }
    // Trimmed; a name equal to the current one ignoring case changes nothing. Raises
    // "This operation is not allowed on active connection" while connected. An unknown name is
    // reported at connect.
    void SetProviderName(platform::StringView value);
    // The provider of the name, nullptr while the name has none registered.
    TUniProvider* Provider() const noexcept { return FProvider; }

    // Changing the lines of a connected component disconnects it; they apply at the next
    // connect.
    TSpecificOptionsList& SpecificOptions() noexcept { return FSpecificOptions; }

    // The connection's own macros for the brace constructs of statement texts.
    TUniMacros Macros;

    platform::String ProviderPrefix() const override { return FProviderName; }
    std::unique_ptr<TParser> CreateParser(platform::StringView text) const override;
    platform::String TranslateSQL(platform::StringView text) const override;
    std::unique_ptr<TCRRecordSet> CreateRecordSet() const override;
    void ApplyCommandOptions(TCRCommand& command,
                             const std::vector<platform::String>& lines) const override;
    void ApplyRecordSetOptions(TCRRecordSet& recordSet,
                               const std::vector<platform::String>& lines) const override;

protected:
    void CheckIConnection() override;
    bool IsDatabaseSupported() const override {
        return FProvider && FProvider->IsDatabaseSupported();
    }
    bool IsPortSupported() const override { return FProvider && FProvider->IsPortSupported(); }

private:
    TUniProvider& CheckProvider();

    platform::String FProviderName;
    TUniProvider* FProvider = nullptr;
    TSpecificOptionsList FSpecificOptions;
    bool FOptionsChanged = true;
};

}  // namespace data_access
