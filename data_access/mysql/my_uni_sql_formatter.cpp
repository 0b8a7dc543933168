#include "data_access/mysql/my_uni_sql_formatter.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "data_access/lexem_list.h"
#include "data_access/mysql/my_parser.h"

namespace data_access::mysql {

namespace {

struct TFormEntry {
    std::u16string_view Name;  // upper-case: the table is sorted by it
    const char16_t* Form;
};

// Sorted by name, by UTF-16 unit order of the upper-cased names, for a binary search.
constexpr TFormEntry Functions[] = {
    {u"CEILING", u"CEILING(%s)"},
    {u"CHAR", u"CHAR(%s)"},
    {u"CHAR_LENGTH", u"CHAR_LENGTH(%s)"},
    {u"CONCAT", u"CONCAT(%s, %s)"},
    {u"CURRENT_DATE", u"CURRENT_DATE"},
    {u"DATEADD", u"(%2:s + INTERVAL '%1:s' %0:s)"},
    {u"DAY", u"EXTRACT(DAY FROM %s)"},
    {u"LOCATE", u"LOCATE(%s, %s)"},
    {u"MONTH", u"MONTH(%s)"},
    {u"SUBSTRING", u"SUBSTRING(%s, %s, %s)"},
    {u"TOCHAR", u"CAST(%s AS VARCHAR)"},
    {u"TODATE", u"CAST(%s AS DATETIME)"},
    {u"TONUMBER", u"CAST(%s AS DOUBLE)"},
    {u"TRIM", u"TRIM(%s)"},
    {u"TRUNCATE", u"TRUNCATE(%s, %s)"},
    {u"USER", u"USER()"},
    {u"YEAR", u"YEAR(%s)"},
};

static_assert(std::is_sorted(std::begin(Functions), std::end(Functions),
                             [](const TFormEntry& a, const TFormEntry& b) {
                                 return a.Name < b.Name;
                             }),
              "the function table must stay sorted for the binary search");

constexpr TFormEntry Literals[] = {
    {u"DATE", u"CAST(%s AS DATE)"},
    {u"TIME", u"CAST(%s AS TIME)"},
    {u"TIMESTAMP", u"CAST(%s AS DATETIME)"},
};

}  // namespace

std::unique_ptr<TParser> TMyUniSqlFormatter::CreateParser(platform::StringView text) const {
    return std::make_unique<TMyUniParser>(text);
}

const TUniMacros& TMyUniSqlFormatter::ProviderMacros() const {
    static const TUniMacros macros = {
        {u"MYSQL", u""},        {u"PROVIDER", u"MySQL"},  {u"DATETIME", u"DATETIME"},
        {u"DOUBLE", u"DOUBLE"}, {u"VARCHAR", u"VARCHAR"},
    };
    return macros;
}

const char16_t* TMyUniSqlFormatter::FunctionFormat(platform::StringView name) const {
    const auto found = std::lower_bound(std::begin(Functions), std::end(Functions), name,
                                        [](const TFormEntry& entry, platform::StringView key) {
                                            return CompareTextAscii(entry.Name, key) < 0;
                                        });
    if (found == std::end(Functions) || CompareTextAscii(found->Name, name) != 0) {
        return nullptr;
    }
    return found->Form;
}

const char16_t* TMyUniSqlFormatter::LiteralFormat(platform::StringView keyword) const {
    for (const TFormEntry& entry : Literals) {
        if (CompareTextAscii(entry.Name, keyword) == 0) {
            return entry.Form;
        }
    }
    return nullptr;
}

}  // namespace data_access::mysql
