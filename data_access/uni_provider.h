#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "data_access/cr_connection.h"
#include "data_access/cr_record_set.h"
#include "data_access/uni_options.h"
#include "data_access/uni_sql_translator.h"
#include "platform/text.h"

namespace data_access {

// One database provider: its name, its object classes, its option tables and its statement
// text forms. Instances live in the registry for the whole run.
class TUniProvider {
public:
    virtual ~TUniProvider() = default;

    virtual platform::String GetProviderName() const = 0;
    virtual bool IsDatabaseSupported() const { return false; }
    virtual bool IsPortSupported() const { return false; }

    virtual std::unique_ptr<TCRConnection> CreateConnection() const = 0;
    virtual std::unique_ptr<TCRRecordSet> CreateRecordSet() const = 0;

    virtual const TOptionsList& ConnectionOptions() const = 0;
    virtual const TOptionsList& SQLOptions() const = 0;
    virtual const TOptionsList& DataSetOptions() const = 0;
    virtual const TUniSqlFormatter& SqlFormatter() const = 0;

    // Applies the option lines to a connection, a command or a record set of this provider
    // (through ApplyOptions with the matching table and target).
    void SetConnectionProps(TCRConnection& connection,
                            const std::vector<platform::String>& lines) const;
    void SetCommandProps(TCRCommand& command, const std::vector<platform::String>& lines) const;
    void SetRecordSetProps(TCRRecordSet& recordSet,
                           const std::vector<platform::String>& lines) const;
};

// What the registry knows of a provider, registered or not.
struct TUniProviderDesc {
    platform::String ProviderName;
    // The name with blanks left out ("SQLServer" for "SQL Server").
    platform::String ProviderShortName;
    std::unique_ptr<TUniProvider> Provider;

    // ProviderShortName + "UniProvider".
    platform::String UnitName() const;
    // "T" + UnitName().
    platform::String ComponentName() const;
};

// The process-wide list of provider descriptions, in their fixed order: Access, Advantage, ASE,
// DB2, DBF, InterBase, MySQL, NexusDB, ODBC, Oracle, PostgreSQL, SQL Server, SQLite. Guarded by a
// lock of its own.
class TUniProviders {
public:
    // Stores the provider in the description of its name; a second registration of a name keeps
    // the first instance. Raises EDatabaseError "%s is not a valid provider name" when no
    // description has the name.
    static void RegisterProvider(std::unique_ptr<TUniProvider> provider);
    // The registered provider of that name (trimmed, ignoring a to z case), nullptr if none.
    static TUniProvider* GetProvider(platform::StringView name);
    // Like GetProvider, but raises EDatabaseError: "Provider is not defined" for an empty name,
    // "%s is not a valid provider name" for a name without a description, and "%s provider is
    // not registered. You should add the %s unit to the uses clause of any unit in your project
    // or place the %s component on the form." for a known name without a provider.
    static TUniProvider& CheckProvider(platform::StringView name);
    // The names of every description, in order.
    static std::vector<platform::String> ProviderNames();
};

}  // namespace data_access
