#include "data_access/mysql/mysql_uni_provider.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data_access/mysql/my_command.h"
#include "data_access/mysql/my_connection.h"
#include "data_access/mysql/my_props.h"
#include "data_access/mysql/my_record_set.h"
#include "platform/exceptions.h"
#include "platform/text_encoding.h"
#include "tests/support/raised_message.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using platform::String;
using test_support::RaisedMessage;

std::string U8(platform::StringView text) {
    return platform::Utf16ToUtf8(text);
}

// What ApplyOptions handed over, by property number; a property handed twice is a failure.
std::map<int, TPropValue> Applied(const TOptionsList& options, unsigned target,
                                  const std::vector<String>& lines,
                                  platform::StringView provider = u"MySQL") {
    std::map<int, TPropValue> props;
    ApplyOptions(options, target, provider, lines, [&](int prop, const TPropValue& value) {
        EXPECT_TRUE(props.emplace(prop, value).second) << "property " << prop << " handed twice";
    });
    return props;
}

const TMySQLUniProvider& Provider() {
    static const TMySQLUniProvider provider;
    return provider;
}

// A small table of every kind, for the conversions and ApplyOptions.
const TOptionsList& SampleOptions() {
    static const TOptionsList options{
        {u"Timeout", TOptionKind::Integer, TPropValue(15), otConnection, 101, {}},
        {u"Name", TOptionKind::String, TPropValue(u"none"), otConnection | otCommand, 102, {}},
        {u"UseUnicode", TOptionKind::Boolean, TPropValue(false), otConnection, 103, {}},
        {u"Protocol",
         TOptionKind::Enumeration,
         TPropValue(0),
         otConnection,
         104,
         {u"mpDefault", u"mpTCP", u"mpSocket"}},
        {u"Dialog", TOptionKind::Boolean, TPropValue(true), otConnectDialog, 105, {}},
        {u"Timeout2", TOptionKind::Integer, TPropValue(0), otCommand | otRecordSet, 106, {}},
    };
    return options;
}

const TOption& SampleOption(platform::StringView name) {
    const TOption* option = SampleOptions().Find(name);
    EXPECT_NE(option, nullptr) << U8(name);
    return *option;
}

// --- option lines -----------------------------------------------------------------------------

TEST(UniOptionLine, SplitsAtTheFirstDotAndTheFirstEquals) {
    const struct {
        const char16_t* line;
        const char16_t* prefix;
        const char16_t* name;
        const char16_t* value;
    } cases[] = {
        {u"MySQL.UseUnicode=True", u"MySQL", u"UseUnicode", u"True"},
        {u"UseUnicode=True", u"", u"UseUnicode", u"True"},
        {u"mysql.useunicode= true", u"mysql", u"useunicode", u" true"},
        {u"SQL Server.Name=a.b=c", u"SQL Server", u"Name", u"a.b=c"},
        {u"Charset=utf8.mb4", u"", u"Charset", u"utf8.mb4"},
        {u"Name=", u"", u"Name", u""},
        {u"MySQL.Name=", u"MySQL", u"Name", u""},
        {u"=value", u"", u"", u"value"},
        {u".Name=v", u"", u"Name", u"v"},
        {u"A.B.C=d", u"A", u"B.C", u"d"},
        {u"Compress", u"", u"Compress", u""},
        {u"MySQL.Compress", u"", u"MySQL.Compress", u""},
        {u"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.line));
        const TOptionLine line = ParseOptionLine(c.line);
        EXPECT_EQ(U8(line.Prefix), U8(c.prefix));
        EXPECT_EQ(U8(line.Name), U8(c.name));
        EXPECT_EQ(U8(line.Value), U8(c.value));
    }
}

// --- value conversion -------------------------------------------------------------------------

TEST(UniOptionValue, ConvertsValidValues) {
    const struct {
        const char16_t* option;
        const char16_t* value;
        TPropValue expected;
    } cases[] = {
        {u"Timeout", u"15", TPropValue(15)},
        {u"Timeout", u" 15 ", TPropValue(15)},
        {u"Timeout", u"\t30\r\n", TPropValue(30)},
        {u"Timeout", u"0", TPropValue(0)},
        {u"Timeout", u"-7", TPropValue(-7)},
        {u"Timeout", u"+7", TPropValue(7)},
        {u"Timeout", u"007", TPropValue(7)},
        {u"Timeout", u"2147483647", TPropValue(2147483647)},
        {u"Timeout", u"-2147483648", TPropValue(int(-2147483647 - 1))},
        {u"Name", u"", TPropValue(u"")},
        {u"Name", u" as is ", TPropValue(u" as is ")},
        {u"Name", u"Проба=1", TPropValue(u"Проба=1")},
        {u"UseUnicode", u"True", TPropValue(true)},
        {u"UseUnicode", u"true", TPropValue(true)},
        {u"UseUnicode", u" TRUE ", TPropValue(true)},
        {u"UseUnicode", u"False", TPropValue(false)},
        {u"UseUnicode", u"fAlSe", TPropValue(false)},
        {u"UseUnicode", u" false\t", TPropValue(false)},
        {u"Protocol", u"mpDefault", TPropValue(0)},
        {u"Protocol", u"mpTCP", TPropValue(1)},
        {u"Protocol", u"mptcp", TPropValue(1)},
        {u"Protocol", u"MPSOCKET", TPropValue(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.option) + " = '" + U8(c.value) + "'");
        EXPECT_EQ(ConvertOptionValue(SampleOption(c.option), c.value), c.expected);
    }
}

TEST(UniOptionValue, RejectsInvalidValuesNamingValueAndOption) {
    const struct {
        const char16_t* option;
        const char16_t* value;
    } cases[] = {
        {u"Timeout", u"15x"},
        {u"Timeout", u""},
        {u"Timeout", u"   "},
        {u"Timeout", u"-"},
        {u"Timeout", u"+"},
        {u"Timeout", u"1 5"},
        {u"Timeout", u"0x10"},
        {u"Timeout", u"1.5"},
        {u"Timeout", u"1e3"},
        {u"Timeout", u"--1"},
        {u"Timeout", u"2147483648"},
        {u"Timeout", u"-2147483649"},
        {u"Timeout", u"99999999999999999999999"},
        {u"Timeout", u"１５"},  // full-width digits are not decimal digits here
        {u"UseUnicode", u"Yes"},
        {u"UseUnicode", u"1"},
        {u"UseUnicode", u""},
        {u"UseUnicode", u"Truee"},
        {u"UseUnicode", u"T"},
        {u"Protocol", u"TCP"},
        {u"Protocol", u"1"},
        {u"Protocol", u""},
        {u"Protocol", u" mpTCP"},
        {u"Protocol", u"mpHttp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.option) + " = '" + U8(c.value) + "'");
        EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                      [&] { ConvertOptionValue(SampleOption(c.option), c.value); }),
                  "Invalid value: " + U8(c.value) + " for option " + U8(c.option));
    }
}

TEST(UniOptionValue, ErrorTextIsExact) {
    const TOption& useUnicode = *Provider().ConnectionOptions().Find(u"useunicode");
    EXPECT_EQ(
        RaisedMessage<platform::EDatabaseError>([&] { ConvertOptionValue(useUnicode, u"Yes"); }),
        "Invalid value: Yes for option UseUnicode");
    const TOption& timeout = *Provider().ConnectionOptions().Find(u"ConnectionTimeout");
    EXPECT_EQ(
        RaisedMessage<platform::EDatabaseError>([&] { ConvertOptionValue(timeout, u" 15x "); }),
        "Invalid value:  15x  for option ConnectionTimeout");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [&] { ConvertOptionValue(timeout, u"Пятнадцать"); }),
              "Invalid value: Пятнадцать for option ConnectionTimeout");
}

TEST(UniOptionsList, FindsByNameIgnoringCase) {
    const TOptionsList& options = SampleOptions();
    EXPECT_EQ(options.Find(u"timeout"), &options.Options()[0]);
    EXPECT_EQ(options.Find(u"USEUNICODE"), &options.Options()[2]);
    EXPECT_EQ(options.Find(u"Timeout2"), &options.Options()[5]);
    EXPECT_EQ(options.Find(u"Time"), nullptr);
    EXPECT_EQ(options.Find(u""), nullptr);
}

// --- applying the lines -----------------------------------------------------------------------

TEST(UniApplyOptions, WithoutLinesHandsEveryDefaultOfTheTarget) {
    const std::map<int, TPropValue> expected{
        {101, TPropValue(15)},
        {102, TPropValue(u"none")},
        {103, TPropValue(false)},
        {104, TPropValue(0)},
    };
    EXPECT_EQ(Applied(SampleOptions(), otConnection, {}), expected);
}

TEST(UniApplyOptions, FiltersByTarget) {
    EXPECT_EQ(Applied(SampleOptions(), otCommand, {}),
              (std::map<int, TPropValue>{{102, TPropValue(u"none")}, {106, TPropValue(0)}}));
    EXPECT_EQ(Applied(SampleOptions(), otRecordSet, {u"Name=x", u"Timeout2=4"}),
              (std::map<int, TPropValue>{{106, TPropValue(4)}}));
    EXPECT_EQ(Applied(SampleOptions(), otConnectDialog, {}),
              (std::map<int, TPropValue>{{105, TPropValue(true)}}));
    EXPECT_EQ(Applied(SampleOptions(), otDataSetService, {u"Name=x"}),
              (std::map<int, TPropValue>{}));
    // A target of several bits takes every option of any of them.
    EXPECT_EQ(Applied(SampleOptions(), otConnection | otConnectDialog, {}).size(), 5u);
}

TEST(UniApplyOptions, LinesOfThisProviderOrWithoutPrefixSwitchTheOptionOn) {
    const TOptionsList& options = Provider().ConnectionOptions();
    for (const char16_t* line : {u"MySQL.UseUnicode=True", u"UseUnicode=True",
                                 u"mysql.useunicode= true", u"MYSQL.USEUNICODE=TRUE "}) {
        SCOPED_TRACE(U8(line));
        const std::map<int, TPropValue> props = Applied(options, otConnection, {line});
        EXPECT_EQ(props.at(prUseUnicode), TPropValue(true));
    }
}

TEST(UniApplyOptions, LinesOfOtherProvidersAreIgnored) {
    const TOptionsList& options = Provider().ConnectionOptions();
    const std::map<int, TPropValue> props =
        Applied(options, otConnection,
                {u"Oracle.UseUnicode=True", u"MySQL2.UseUnicode=True", u"My SQL.Compress=True",
                 u"Oracle.ConnectionTimeout=nonsense"});
    EXPECT_EQ(props.at(prUseUnicode), TPropValue(false));
    EXPECT_EQ(props.at(prCompress), TPropValue(false));
    EXPECT_EQ(props.at(prConnectionTimeout), TPropValue(15));
}

TEST(UniApplyOptions, TheFirstMatchingLineWins) {
    const TOptionsList& options = SampleOptions();
    EXPECT_EQ(
        Applied(options, otConnection, {u"Timeout=1", u"MySQL.Timeout=2", u"Timeout=3"}).at(101),
        TPropValue(1));
    EXPECT_EQ(
        Applied(options, otConnection, {u"Oracle.Timeout=1", u"mysql.TIMEOUT=2", u"Timeout=3"})
            .at(101),
        TPropValue(2));
    // The first matching line counts even when a later one would be valid.
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([&] {
                  Applied(options, otConnection, {u"UseUnicode=maybe", u"UseUnicode=True"});
              }),
              "Invalid value: maybe for option UseUnicode");
    // A later valid line does not rescue nor does a later invalid line hurt.
    EXPECT_EQ(Applied(options, otConnection, {u"UseUnicode=True", u"UseUnicode=maybe"}).at(103),
              TPropValue(true));
}

TEST(UniApplyOptions, UnknownOptionsAndOtherLinesAreIgnored) {
    // Unknown names, names with blanks around them, options of other targets: all ignored.
    const std::map<int, TPropValue> props =
        Applied(SampleOptions(), otConnection,
                {u"NoSuchOption=1", u"MySQL.Other=x", u"", u"Timeout =5", u" Timeout=5",
                 u"Dialog=oops", u"Timeout2=bad", u"=True"});
    EXPECT_EQ(props, Applied(SampleOptions(), otConnection, {}));
}

TEST(UniApplyOptions, ALineWithoutEqualsNamesTheOptionWithAnEmptyValue) {
    EXPECT_EQ(Applied(SampleOptions(), otConnection, {u"Name"}).at(102), TPropValue(u""));
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [] { Applied(SampleOptions(), otConnection, {u"Protocol"}); }),
              "Invalid value:  for option Protocol");
    // With no "=", the "." belongs to the name: no option is named so.
    EXPECT_EQ(Applied(SampleOptions(), otConnection, {u"MySQL.Name"}).at(102), TPropValue(u"none"));
}

TEST(UniApplyOptions, EveryOtherOptionStaysAtItsDefault) {
    const TOptionsList& options = Provider().ConnectionOptions();
    const std::map<int, TPropValue> props = Applied(
        options, otConnection, {u"MySQL.UseUnicode=True", u"Protocol=mpSSL", u"ProxyPort= 8080"});
    ASSERT_EQ(props.size(), options.Options().size());
    for (const TOption& option : options.Options()) {
        SCOPED_TRACE(U8(option.Name));
        if (option.Prop == prUseUnicode) {
            EXPECT_EQ(props.at(option.Prop), TPropValue(true));
        } else if (option.Prop == prProtocol) {
            EXPECT_EQ(props.at(option.Prop), TPropValue(int(mpSSL)));
        } else if (option.Prop == prProxyPort) {
            EXPECT_EQ(props.at(option.Prop), TPropValue(8080));
        } else {
            EXPECT_EQ(props.at(option.Prop), option.Default);
        }
    }
}

TEST(UniApplyOptions, AnInvalidValueStopsWithTheError) {
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([] {
                  Applied(Provider().ConnectionOptions(), otConnection,
                          {u"MySQL.ConnectionTimeout=15x"});
              }),
              "Invalid value: 15x for option ConnectionTimeout");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [] { Applied(Provider().ConnectionOptions(), otConnection, {u"protocol=TCP"}); }),
              "Invalid value: TCP for option Protocol");
}

// --- the option list of a component -----------------------------------------------------------

TEST(UniSpecificOptionsList, PrefixesLinesWithoutProvider) {
    String provider = u"MySQL";
    TSpecificOptionsList list([&] { return provider; });
    EXPECT_EQ(list.Add(u"UseUnicode=True"), 0);
    EXPECT_EQ(list.Add(u"Oracle.Direct=False"), 1);
    EXPECT_EQ(list.Add(u"Charset=utf8.mb4"), 2);
    EXPECT_EQ(list.Add(u"Compress"), 3);
    EXPECT_EQ(list.Add(u".Empty=1"), 4);
    provider = u"Oracle";
    list.Put(0, u"Direct=True");
    list.Put(1, u"MySQL.Compress=True");
    ASSERT_EQ(list.Count(), 5);
    const std::vector<String> expected{u"Oracle.Direct=True", u"MySQL.Compress=True",
                                       u"MySQL.Charset=utf8.mb4", u"MySQL.Compress", u".Empty=1"};
    EXPECT_EQ(list.Lines(), expected);
    EXPECT_EQ(list[2], u"MySQL.Charset=utf8.mb4");
}

TEST(UniSpecificOptionsList, WithoutProviderAPrefixlessLineFails) {
    String provider;
    int changes = 0;
    TSpecificOptionsList list([&] { return provider; });
    list.OnChange = [&] { ++changes; };
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([&] { list.Add(u"UseUnicode=True"); }),
              "Provider is not defined");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([&] { list.Add(u"Compress"); }),
              "Provider is not defined");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Add(u"MySQL.UseUnicode=True"), 0);
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([&] { list.Put(0, u"UseUnicode=False"); }),
              "Provider is not defined");
    EXPECT_EQ(list[0], u"MySQL.UseUnicode=True");
    EXPECT_EQ(changes, 1);

    TSpecificOptionsList noCallback(nullptr);
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([&] { noCallback.Add(u"A=1"); }),
              "Provider is not defined");
    EXPECT_EQ(noCallback.Add(u"MySQL.A=1"), 0);
    EXPECT_EQ(noCallback.Values(u"A"), u"");
    EXPECT_EQ(noCallback.Values(u"mysql.a"), u"1");
}

TEST(UniSpecificOptionsList, ValuesByFullNameOrByNameUnderTheCurrentProvider) {
    String provider = u"MySQL";
    TSpecificOptionsList list([&] { return provider; });
    list.Add(u"UseUnicode=True");
    list.Add(u"Oracle.UseUnicode=False");
    list.Add(u"Charset=a=b");
    list.Add(u"MySQL.Charset=second");
    list.Add(u"Embedded");
    EXPECT_EQ(list.Values(u"UseUnicode"), u"True");
    EXPECT_EQ(list.Values(u"useunicode"), u"True");
    EXPECT_EQ(list.Values(u"MYSQL.USEUNICODE"), u"True");
    EXPECT_EQ(list.Values(u"Oracle.UseUnicode"), u"False");
    EXPECT_EQ(list.Values(u"Charset"), u"a=b");
    EXPECT_EQ(list.Values(u"Embedded"), u"");
    EXPECT_EQ(list.Values(u"NoSuch"), u"");
    EXPECT_EQ(list.Values(u"SQLite.UseUnicode"), u"");
    provider = u"Oracle";
    EXPECT_EQ(list.Values(u"UseUnicode"), u"False");
    EXPECT_EQ(list.Values(u"Charset"), u"");
    provider.clear();
    EXPECT_EQ(list.Values(u"UseUnicode"), u"");
    EXPECT_EQ(list.Values(u"MySQL.UseUnicode"), u"True");
}

TEST(UniSpecificOptionsList, OnChangeRunsAfterEveryChange) {
    TSpecificOptionsList list([] { return String(u"MySQL"); });
    std::vector<int> counts;
    list.OnChange = [&] { counts.push_back(list.Count()); };
    list.Add(u"A=1");
    list.Add(u"B=2");
    list.Put(1, u"C=3");
    EXPECT_EQ(list[1], u"MySQL.C=3");
    list.Clear();
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 2, 0}));
    EXPECT_EQ(list.Count(), 0);
}

TEST(UniSpecificOptionsList, IndexOutsideTheListFails) {
    TSpecificOptionsList list([] { return String(u"MySQL"); });
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.Add(u"A=1");
    auto messageOf = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const platform::EArgumentException& e) {
            return e.Message();
        }
        return "no EArgumentException";
    };
    EXPECT_EQ(messageOf([&] { (void)list[1]; }), "List index out of bounds (1)");
    EXPECT_EQ(messageOf([&] { (void)list[-1]; }), "List index out of bounds (-1)");
    EXPECT_EQ(messageOf([&] { list.Put(3, u"B=2"); }), "List index out of bounds (3)");
    EXPECT_EQ(changes, 1);
}

// --- the registry -----------------------------------------------------------------------------

// A provider of any name, its option tables empty.
class TFakeProvider final : public TUniProvider {
public:
    explicit TFakeProvider(String name) : FName(std::move(name)) {}

    String GetProviderName() const override { return FName; }
    std::unique_ptr<TCRConnection> CreateConnection() const override { return nullptr; }
    std::unique_ptr<TCRRecordSet> CreateRecordSet() const override { return nullptr; }
    const TOptionsList& ConnectionOptions() const override { return Empty(); }
    const TOptionsList& SQLOptions() const override { return Empty(); }
    const TOptionsList& DataSetOptions() const override { return Empty(); }
    const TUniSqlFormatter& SqlFormatter() const override { return Provider().SqlFormatter(); }

private:
    static const TOptionsList& Empty() {
        static const TOptionsList options{};
        return options;
    }

    String FName;
};

TEST(UniProviders, NamesInTheirFixedOrder) {
    const std::vector<String> expected{u"Access",     u"Advantage",  u"ASE",     u"DB2",  u"DBF",
                                       u"InterBase",  u"MySQL",      u"NexusDB", u"ODBC", u"Oracle",
                                       u"PostgreSQL", u"SQL Server", u"SQLite"};
    EXPECT_EQ(TUniProviders::ProviderNames(), expected);
}

TEST(UniProviders, DescriptionNames) {
    TUniProviderDesc desc;
    desc.ProviderName = u"SQL Server";
    desc.ProviderShortName = u"SQLServer";
    EXPECT_EQ(desc.UnitName(), u"SQLServerUniProvider");
    EXPECT_EQ(desc.ComponentName(), u"TSQLServerUniProvider");
}

TEST(UniProviders, MySQLAfterRegistration) {
    RegisterMySQLUniProvider();
    TUniProvider* provider = TUniProviders::GetProvider(u"  mysql ");
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(provider->GetProviderName(), u"MySQL");
    EXPECT_NE(dynamic_cast<TMySQLUniProvider*>(provider), nullptr);
    EXPECT_EQ(TUniProviders::GetProvider(u"MYSQL"), provider);
    EXPECT_EQ(&TUniProviders::CheckProvider(u" MySql\t"), provider);
    // Later calls keep the first instance.
    RegisterMySQLUniProvider();
    EXPECT_EQ(TUniProviders::GetProvider(u"MySQL"), provider);
    TUniProviders::RegisterProvider(std::make_unique<TMySQLUniProvider>());
    EXPECT_EQ(TUniProviders::GetProvider(u"MySQL"), provider);
}

TEST(UniProviders, RegistrationFromSeveralThreadsRegistersOnce) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([] {
            RegisterMySQLUniProvider();
            EXPECT_NE(TUniProviders::GetProvider(u"MySQL"), nullptr);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_NE(TUniProviders::GetProvider(u"mysql"), nullptr);
}

TEST(UniProviders, ASecondRegistrationKeepsTheFirstInstance) {
    // NexusDB is used by no other case here.
    auto first = std::make_unique<TFakeProvider>(u"nexusdb");
    TUniProvider* firstAddress = first.get();
    TUniProviders::RegisterProvider(std::move(first));
    TUniProviders::RegisterProvider(std::make_unique<TFakeProvider>(u"NexusDB"));
    EXPECT_EQ(TUniProviders::GetProvider(u"NexusDB"), firstAddress);
    EXPECT_EQ(&TUniProviders::CheckProvider(u"NEXUSDB"), firstAddress);
}

TEST(UniProviders, RegisteringAnUnknownNameFails) {
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([] {
                  TUniProviders::RegisterProvider(std::make_unique<TFakeProvider>(u"Informix"));
              }),
              "Informix is not a valid provider name");
    EXPECT_EQ(TUniProviders::GetProvider(u"Informix"), nullptr);
}

TEST(UniProviders, UnknownOrUnregisteredNames) {
    EXPECT_EQ(TUniProviders::GetProvider(u"Informix"), nullptr);
    EXPECT_EQ(TUniProviders::GetProvider(u""), nullptr);
    EXPECT_EQ(TUniProviders::GetProvider(u"Oracle"), nullptr);
    // The name, not the short name.
    EXPECT_EQ(TUniProviders::GetProvider(u"SQLServer"), nullptr);
}

TEST(UniProviders, CheckProviderErrors) {
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([] { TUniProviders::CheckProvider(u""); }),
              "Provider is not defined");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>([] { TUniProviders::CheckProvider(u"   "); }),
              "Provider is not defined");
    EXPECT_EQ(
        RaisedMessage<platform::EDatabaseError>([] { TUniProviders::CheckProvider(u"Informix"); }),
        "Informix is not a valid provider name");
    EXPECT_EQ(
        RaisedMessage<platform::EDatabaseError>([] { TUniProviders::CheckProvider(u"Провайдер"); }),
        "Провайдер is not a valid provider name");
    EXPECT_EQ(
        RaisedMessage<platform::EDatabaseError>([] { TUniProviders::CheckProvider(u"oracle"); }),
        "Oracle provider is not registered. You should add the OracleUniProvider unit to "
        "the uses clause of any unit in your project or place the TOracleUniProvider "
        "component on the form.");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [] { TUniProviders::CheckProvider(u" sql server "); }),
              "SQL Server provider is not registered. You should add the SQLServerUniProvider "
              "unit to the uses clause of any unit in your project or place the "
              "TSQLServerUniProvider component on the form.");
}

// --- the MySQL provider -----------------------------------------------------------------------

TEST(MySQLUniProvider, NameAndObjects) {
    const TMySQLUniProvider& provider = Provider();
    EXPECT_EQ(provider.GetProviderName(), u"MySQL");
    EXPECT_TRUE(provider.IsDatabaseSupported());
    EXPECT_TRUE(provider.IsPortSupported());
    const std::unique_ptr<TCRConnection> connection = provider.CreateConnection();
    EXPECT_NE(dynamic_cast<TMySQLConnection*>(connection.get()), nullptr);
    const std::unique_ptr<TCRRecordSet> recordSet = provider.CreateRecordSet();
    EXPECT_NE(dynamic_cast<TMySQLRecordset*>(recordSet.get()), nullptr);
    EXPECT_EQ(&provider.SqlFormatter(), &TMySQLUniProvider().SqlFormatter());
}

struct TExpectedOption {
    const char16_t* name;
    TOptionKind kind;
    TPropValue value;
    unsigned targets;
    int prop;
};

void ExpectTable(const TOptionsList& options, const std::vector<TExpectedOption>& expected) {
    ASSERT_EQ(options.Options().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TOption& option = options.Options()[i];
        const TExpectedOption& e = expected[i];
        SCOPED_TRACE(U8(e.name));
        EXPECT_EQ(option.Name, e.name);
        EXPECT_EQ(int(option.Kind), int(e.kind));
        EXPECT_EQ(option.Default, e.value);
        EXPECT_EQ(option.Targets, e.targets);
        EXPECT_EQ(option.Prop, e.prop);
        EXPECT_EQ(option.Values.empty(), e.kind != TOptionKind::Enumeration);
    }
}

TEST(MySQLUniProvider, ConnectionOptionsTable) {
    using K = TOptionKind;
    ExpectTable(
        Provider().ConnectionOptions(),
        {
            {u"ConnectionTimeout", K::Integer, TPropValue(15), otConnection, 1001},
            {u"MaxAllowedPacket", K::Integer, TPropValue(1073741824), otConnection, 1043},
            {u"Charset", K::String, TPropValue(u""), otConnection, 1009},
            {u"UseUnicode", K::Boolean, TPropValue(false), otConnection, 1018},
            {u"OptimizedBigint", K::Boolean, TPropValue(false), otConnection, 1033},
            {u"NullForZeroDelphiDate", K::Boolean, TPropValue(false), otConnection, 1041},
            {u"Compress", K::Boolean, TPropValue(false), otConnection, 1007},
            {u"Protocol", K::Enumeration, TPropValue(0), otConnection, 1011},
            {u"Embedded", K::Boolean, TPropValue(false), otConnection | otConnectDialog, 1030},
            {u"Direct", K::Boolean, TPropValue(true), otConnection, 1031},
            {u"EmbeddedParams", K::String, TPropValue(u""), otConnection, 1019},
            {u"Interactive", K::Boolean, TPropValue(false), otConnection, 1042},
            {u"SSLChipherList", K::String, TPropValue(u""), otConnection, 1020},
            {u"SSLCACert", K::String, TPropValue(u""), otConnection, 1021},
            {u"SSLKey", K::String, TPropValue(u""), otConnection, 1022},
            {u"SSLCert", K::String, TPropValue(u""), otConnection, 1023},
            {u"HttpUrl", K::String, TPropValue(u""), otConnection, 57},
            {u"HttpUsername", K::String, TPropValue(u""), otConnection, 58},
            {u"HttpPassword", K::String, TPropValue(u""), otConnection, 59},
            {u"ProxyHostname", K::String, TPropValue(u""), otConnection, 60},
            {u"ProxyPort", K::Integer, TPropValue(0), otConnection, 61},
            {u"ProxyUsername", K::String, TPropValue(u""), otConnection, 62},
            {u"ProxyPassword", K::String, TPropValue(u""), otConnection, 63},
        });
    const std::vector<String> protocols{u"mpDefault", u"mpTCP", u"mpSocket", u"mpPipe",
                                        u"mpMemory",  u"mpSSL", u"mpHttp"};
    EXPECT_EQ(Provider().ConnectionOptions().Find(u"Protocol")->Values, protocols);
    // Built once.
    EXPECT_EQ(&Provider().ConnectionOptions(), &TMySQLUniProvider().ConnectionOptions());
}

TEST(MySQLUniProvider, DataSetAndSQLOptionsTables) {
    using K = TOptionKind;
    ExpectTable(Provider().DataSetOptions(),
                {
                    {u"FetchAll", K::Boolean, TPropValue(true), otRecordSet, 22},
                    {u"CommandTimeout", K::Integer, TPropValue(0), otRecordSet, 1016},
                    {u"FieldsAsString", K::Boolean, TPropValue(false), otRecordSet, 1005},
                    {u"NullForZeroDate", K::Boolean, TPropValue(true), otRecordSet, 1006},
                    {u"EnableBoolean", K::Boolean, TPropValue(true), otRecordSet, 1014},
                    {u"CreateConnection", K::Boolean, TPropValue(true), otRecordSet, 1015},
                    {u"BinaryAsString", K::Boolean, TPropValue(true), otRecordSet, 1034},
                    {u"CheckRowVersion", K::Boolean, TPropValue(false), otDataSetService, 0},
                });
    ExpectTable(Provider().SQLOptions(),
                {{u"CommandTimeout", K::Integer, TPropValue(0), otCommand, 1016}});
}

TEST(MySQLUniProvider, ConnectionOptionsReachTheConnection) {
    TMySQLConnection connection;
    Provider().SetConnectionProps(connection, {u"MySQL.UseUnicode=True", u"Oracle.Compress=True"});
    TPropValue value;
    ASSERT_TRUE(connection.GetProp(prUseUnicode, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prConnectionTimeout, value));
    EXPECT_EQ(value.AsInteger(), 15);
    ASSERT_TRUE(connection.GetProp(prCompress, value));
    EXPECT_FALSE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prCharset, value));
    EXPECT_EQ(value.AsString(), u"");
    ASSERT_TRUE(connection.GetProp(prInteractive, value));
    EXPECT_FALSE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prMaxAllowedPacket, value));
    EXPECT_EQ(value.AsInteger(), 1073741824);

    Provider().SetConnectionProps(
        connection,
        {u"ConnectionTimeout=30", u"Compress=True", u"Charset=cp1251", u"Interactive=True",
         u"Protocol=mpTCP", u"SSLChipherList=AES", u"MaxAllowedPacket=67108864"});
    ASSERT_TRUE(connection.GetProp(prUseUnicode, value));
    EXPECT_FALSE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prConnectionTimeout, value));
    EXPECT_EQ(value.AsInteger(), 30);
    ASSERT_TRUE(connection.GetProp(prCompress, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prCharset, value));
    EXPECT_EQ(value.AsString(), u"cp1251");
    ASSERT_TRUE(connection.GetProp(prInteractive, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(connection.GetProp(prMaxAllowedPacket, value));
    EXPECT_EQ(value.AsInteger(), 67108864);

    // A limit below one byte is refused; the one set before stays.
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [&] { Provider().SetConnectionProps(connection, {u"MaxAllowedPacket=0"}); }),
              "Invalid value: 0 for option MaxAllowedPacket");
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [&] { Provider().SetConnectionProps(connection, {u"MaxAllowedPacket=-1"}); }),
              "Invalid value: -1 for option MaxAllowedPacket");
    ASSERT_TRUE(connection.GetProp(prMaxAllowedPacket, value));
    EXPECT_EQ(value.AsInteger(), 67108864);
}

TEST(MySQLUniProvider, EveryConnectionOptionIsAcceptedAtItsDefault) {
    const std::unique_ptr<TCRConnection> connection = Provider().CreateConnection();
    EXPECT_NO_THROW(Provider().SetConnectionProps(*connection, {}));
    // Through the registry as a component would.
    RegisterMySQLUniProvider();
    const std::unique_ptr<TCRConnection> other =
        TUniProviders::CheckProvider(u"MySQL").CreateConnection();
    EXPECT_NO_THROW(TUniProviders::CheckProvider(u"MySQL").SetConnectionProps(*other, {}));
}

TEST(MySQLUniProvider, DataSetOptionsReachTheRecordSet) {
    TMySQLRecordset recordSet;
    EXPECT_NO_THROW(Provider().SetRecordSetProps(recordSet, {}));
    TPropValue value;
    ASSERT_TRUE(recordSet.GetProp(prFetchAll, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prFieldsAsString, value));
    EXPECT_FALSE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prNullForZeroDate, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prEnableBoolean, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prCreateConnection, value));
    EXPECT_TRUE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prBinaryAsString, value));
    EXPECT_TRUE(value.AsBoolean());

    Provider().SetRecordSetProps(recordSet, {u"FetchAll=False", u"MySQL.FieldsAsString=True",
                                             u"CommandTimeout=20", u"CheckRowVersion=nonsense"});
    ASSERT_TRUE(recordSet.GetProp(prFetchAll, value));
    EXPECT_FALSE(value.AsBoolean());
    ASSERT_TRUE(recordSet.GetProp(prFieldsAsString, value));
    EXPECT_TRUE(value.AsBoolean());
}

TEST(MySQLUniProvider, CommandOptionsReachTheCommand) {
    TMySQLCommand command;
    EXPECT_NO_THROW(Provider().SetCommandProps(command, {}));
    EXPECT_NO_THROW(Provider().SetCommandProps(command, {u"CommandTimeout=60"}));
    EXPECT_EQ(RaisedMessage<platform::EDatabaseError>(
                  [&] { Provider().SetCommandProps(command, {u"CommandTimeout=x"}); }),
              "Invalid value: x for option CommandTimeout");
}

}  // namespace
