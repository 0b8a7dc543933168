#include "data_access/mysql/mysql_uni_provider.h"

#include <mutex>

#include "data_access/mysql/my_connection.h"
#include "data_access/mysql/my_props.h"
#include "data_access/mysql/my_record_set.h"
#include "data_access/mysql/my_uni_sql_formatter.h"

namespace data_access::mysql {

namespace {

TOption IntegerOption(const char16_t* name, int value, unsigned targets, int prop) {
    return TOption{name, TOptionKind::Integer, TPropValue(value), targets, prop, {}};
}

TOption StringOption(const char16_t* name, const char16_t* value, unsigned targets, int prop) {
    return TOption{name, TOptionKind::String, TPropValue(value), targets, prop, {}};
}

TOption BooleanOption(const char16_t* name, bool value, unsigned targets, int prop) {
    return TOption{name, TOptionKind::Boolean, TPropValue(value), targets, prop, {}};
}

TOption EnumerationOption(const char16_t* name, std::vector<platform::String> values, int value,
                          unsigned targets, int prop) {
    return TOption{name, TOptionKind::Enumeration, TPropValue(value), targets,
                   prop, std::move(values)};
}

}  // namespace

std::unique_ptr<TCRConnection> TMySQLUniProvider::CreateConnection() const {
    return std::make_unique<TMySQLConnection>();
}

std::unique_ptr<TCRRecordSet> TMySQLUniProvider::CreateRecordSet() const {
    return std::make_unique<TMySQLRecordset>();
}

const TOptionsList& TMySQLUniProvider::ConnectionOptions() const {
    static const TOptionsList options{
        IntegerOption(u"ConnectionTimeout", 15, otConnection, prConnectionTimeout),
        IntegerOption(u"MaxAllowedPacket", 1073741824, otConnection, prMaxAllowedPacket),
        StringOption(u"Charset", u"", otConnection, prCharset),
        BooleanOption(u"UseUnicode", false, otConnection, prUseUnicode),
        BooleanOption(u"OptimizedBigint", false, otConnection, prOptimizedBigInt),
        BooleanOption(u"NullForZeroDelphiDate", false, otConnection, prNullForZeroDelphiDate),
        BooleanOption(u"Compress", false, otConnection, prCompress),
        EnumerationOption(
            u"Protocol",
            {u"mpDefault", u"mpTCP", u"mpSocket", u"mpPipe", u"mpMemory", u"mpSSL", u"mpHttp"},
            mpDefault, otConnection, prProtocol),
        BooleanOption(u"Embedded", false, otConnection | otConnectDialog, prEmbedded),
        BooleanOption(u"Direct", true, otConnection, prDirect),
        StringOption(u"EmbeddedParams", u"", otConnection, prEmbParams),
        BooleanOption(u"Interactive", false, otConnection, prInteractive),
        // The misspelling is the option's name: settings already written use it.
        StringOption(u"SSLChipherList", u"", otConnection, prSSL_Cipher),
        StringOption(u"SSLCACert", u"", otConnection, prSSL_CA),
        StringOption(u"SSLKey", u"", otConnection, prSSL_Key),
        StringOption(u"SSLCert", u"", otConnection, prSSL_Cert),
        StringOption(u"HttpUrl", u"", otConnection, prHttpUrl),
        StringOption(u"HttpUsername", u"", otConnection, prHttpUsername),
        StringOption(u"HttpPassword", u"", otConnection, prHttpPassword),
        StringOption(u"ProxyHostname", u"", otConnection, prProxyHostname),
        IntegerOption(u"ProxyPort", 0, otConnection, prProxyPort),
        StringOption(u"ProxyUsername", u"", otConnection, prProxyUsername),
        StringOption(u"ProxyPassword", u"", otConnection, prProxyPassword),
    };
    return options;
}

const TOptionsList& TMySQLUniProvider::SQLOptions() const {
    static const TOptionsList options{
        IntegerOption(u"CommandTimeout", 0, otCommand, prCommandTimeout),
    };
    return options;
}

const TOptionsList& TMySQLUniProvider::DataSetOptions() const {
    static const TOptionsList options{
        BooleanOption(u"FetchAll", true, otRecordSet, prFetchAll),
        IntegerOption(u"CommandTimeout", 0, otRecordSet, prCommandTimeout),
        BooleanOption(u"FieldsAsString", false, otRecordSet, prFieldsAsString),
        BooleanOption(u"NullForZeroDate", true, otRecordSet, prNullForZeroDate),
        BooleanOption(u"EnableBoolean", true, otRecordSet, prEnableBoolean),
        BooleanOption(u"CreateConnection", true, otRecordSet, prCreateConnection),
        BooleanOption(u"BinaryAsString", true, otRecordSet, prBinaryAsString),
        // Read by the data set's update service, never handed to a provider object.
        BooleanOption(u"CheckRowVersion", false, otDataSetService, 0),
    };
    return options;
}

const TUniSqlFormatter& TMySQLUniProvider::SqlFormatter() const {
    static const TMyUniSqlFormatter formatter;
    return formatter;
}

void RegisterMySQLUniProvider() {
    static std::once_flag once;
    std::call_once(once,
                   [] { TUniProviders::RegisterProvider(std::make_unique<TMySQLUniProvider>()); });
}

}  // namespace data_access::mysql
