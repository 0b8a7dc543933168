#include "data_access/uni_provider.h"

#include "platform/exceptions.h"
#include "platform/format.h"
#include "platform/text_encoding.h"

namespace data_access {

// --- TUniProvider ------------------------------------------------------------------------------

void TUniProvider::SetConnectionProps(TCRConnection& connection,
                                      const std::vector<platform::String>& lines) const {
    ApplyOptions(
        ConnectionOptions(), otConnection, GetProviderName(), lines,
        [&connection](int prop, const TPropValue& value) { connection.SetProp(prop, value); });
}

void TUniProvider::SetCommandProps(TCRCommand& command,
                                   const std::vector<platform::String>& lines) const {
    ApplyOptions(SQLOptions(), otCommand, GetProviderName(), lines,
                 [&command](int prop, const TPropValue& value) { command.SetProp(prop, value); });
}

void TUniProvider::SetRecordSetProps(TCRRecordSet& recordSet,
                                     const std::vector<platform::String>& lines) const {
    ApplyOptions(
        DataSetOptions(), otRecordSet, GetProviderName(), lines,
        [&recordSet](int prop, const TPropValue& value) { recordSet.SetProp(prop, value); });
}

// --- TUniProviderDesc --------------------------------------------------------------------------

platform::String TUniProviderDesc::UnitName() const {
    return ProviderShortName + u"UniProvider";
}

platform::String TUniProviderDesc::ComponentName() const {
    return u"T" + UnitName();
}

// --- TUniProviders -----------------------------------------------------------------------------

namespace {

TUniProviderDesc MakeDesc(const char16_t* name, const char16_t* shortName = nullptr) {
    TUniProviderDesc desc;
    desc.ProviderName = name;
    desc.ProviderShortName = shortName ? shortName : name;
    return desc;
}

// Every description, in the fixed order.
struct TRegistry {
    TRegistry() {
        for (const char16_t* name : {u"Access", u"Advantage", u"ASE", u"DB2", u"DBF", u"InterBase",
                                     u"MySQL", u"NexusDB", u"ODBC", u"Oracle", u"PostgreSQL"}) {
            Descs.push_back(MakeDesc(name));
        }
        Descs.push_back(MakeDesc(u"SQL Server", u"SQLServer"));
        Descs.push_back(MakeDesc(u"SQLite"));
    }

    std::mutex Lock;
    std::vector<TUniProviderDesc> Descs;
};

// The registry, filled on first use.
TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

// The description of that name (trimmed, ignoring a to z case); the caller holds the lock.
TUniProviderDesc* FindDesc(TRegistry& registry, platform::StringView name) {
    const platform::StringView trimmed = platform::Trim(name);
    for (TUniProviderDesc& desc : registry.Descs) {
        if (platform::AsciiSameText(desc.ProviderName, trimmed)) {
            return &desc;
        }
    }
    return nullptr;
}

[[noreturn]] void InvalidProviderName(platform::StringView name) {
    throw platform::EDatabaseError(
        platform::Format("%s is not a valid provider name", platform::Utf16ToUtf8(name).c_str()));
}

}  // namespace

void TUniProviders::RegisterProvider(std::unique_ptr<TUniProvider> provider) {
    platform::Assert(provider != nullptr, "No provider");
    const platform::String name = provider->GetProviderName();
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    TUniProviderDesc* desc = FindDesc(registry, name);
    if (!desc) {
        InvalidProviderName(name);
    }
    if (!desc->Provider) {
        desc->Provider = std::move(provider);
    }
}

TUniProvider* TUniProviders::GetProvider(platform::StringView name) {
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    const TUniProviderDesc* desc = FindDesc(registry, name);
    return desc ? desc->Provider.get() : nullptr;
}

TUniProvider& TUniProviders::CheckProvider(platform::StringView name) {
    const platform::StringView trimmed = platform::Trim(name);
    if (trimmed.empty()) {
        throw platform::EDatabaseError("Provider is not defined");
    }
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    const TUniProviderDesc* desc = FindDesc(registry, trimmed);
    if (!desc) {
        InvalidProviderName(trimmed);
    }
    if (!desc->Provider) {
        throw platform::EDatabaseError(platform::Format(
            "%s provider is not registered. You should add the %s unit to the uses clause of any "
            "unit in your project or place the %s component on the form.",
            platform::Utf16ToUtf8(desc->ProviderName).c_str(),
            platform::Utf16ToUtf8(desc->UnitName()).c_str(),
            platform::Utf16ToUtf8(desc->ComponentName()).c_str()));
    }
    return *desc->Provider;
}

std::vector<platform::String> TUniProviders::ProviderNames() {
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    std::vector<platform::String> names;
    names.reserve(registry.Descs.size());
    for (const TUniProviderDesc& desc : registry.Descs) {
        names.push_back(desc.ProviderName);
    }
    return names;
}

}  // namespace data_access
