#pragma once

#include "data_access/uni_sql_translator.h"

namespace data_access::mysql {

// MySQL's forms of universal statement text: backquotes, the MYSQL, PROVIDER, DATETIME, DOUBLE
// and VARCHAR macros, the MySQL functions and CAST literals.
class TMyUniSqlFormatter final : public TUniSqlFormatter {
public:
    std::unique_ptr<TParser> CreateParser(platform::StringView text) const override;
    std::pair<char16_t, char16_t> IdentQuotes() const override { return {u'`', u'`'}; }
    const TUniMacros& ProviderMacros() const override;
    const char16_t* FunctionFormat(platform::StringView name) const override;
    const char16_t* LiteralFormat(platform::StringView keyword) const override;
};

}  // namespace data_access::mysql
