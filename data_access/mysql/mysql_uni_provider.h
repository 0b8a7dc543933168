#pragma once

#include "data_access/uni_provider.h"

namespace data_access::mysql {

// The MySQL provider: TMySQLConnection, TMySQLRecordset and TMySQLCommand with their option
// tables.
class TMySQLUniProvider final : public TUniProvider {
public:
    platform::String GetProviderName() const override { return u"MySQL"; }
    bool IsDatabaseSupported() const override { return true; }
    bool IsPortSupported() const override { return true; }

    std::unique_ptr<TCRConnection> CreateConnection() const override;
    std::unique_ptr<TCRRecordSet> CreateRecordSet() const override;

    const TOptionsList& ConnectionOptions() const override;
    const TOptionsList& SQLOptions() const override;
    const TOptionsList& DataSetOptions() const override;
    const TUniSqlFormatter& SqlFormatter() const override;
};

// Registers the MySQL provider under "MySQL" (once; later calls do nothing). A program that
// uses the provider calls it before its first connect.
void RegisterMySQLUniProvider();

}  // namespace data_access::mysql
