#include "app/connection_options.h"
#include "app/vx26.h"
#include "data_access/mysql/mysql_uni_provider.h"
#include "platform/format_settings.h"

namespace app {

namespace {

// The queries' start-up texts, UniQuery1 to UniQuery12.
constexpr const char16_t* InitialSQL[12] = {
    u"select * from printers limit 1", u"select * from settings limit 1",
    u"select * from print limit 1",    u"select * from print limit 1",
    u"select * from zakaz limit 1",    u"select * from podzakaz limit 1",
    u"select * from tables limit 1",   u"select * from cat_tables limit 1",
    u"select * from pay limit 1",      u"select * from menu limit 1",
    u"select * from type_pay limit 1", u"select * from clients limit 1",
};

// DBMemo1 to DBMemo43: the query each shows and its field.
struct TMemoBinding {
    int Query;
    const char16_t* Field;
};
constexpr TMemoBinding MemoBindings[43] = {
    {1, u"port"},       {1, u"name"},   {2, u"value"},      {3, u"id"},      {3, u"podzakaz"},
    {3, u"status"},     {3, u"type"},   {3, u"zakaz"},      {4, u"id"},      {4, u"podzakaz"},
    {4, u"status"},     {4, u"type"},   {4, u"zakaz"},      {5, u"id"},      {5, u"date_open"},
    {5, u"date_close"}, {5, u"client"}, {5, u"podzakaz"},   {5, u"status"},  {5, u"tables"},
    {5, u"waitres"},    {6, u"id"},     {6, u"kolvo"},      {6, u"menu"},    {6, u"name_menu"},
    {6, u"podzakaz"},   {6, u"price"},  {6, u"printer"},    {6, u"waitres"}, {6, u"zakaz"},
    {7, u"procent"},    {7, u"name"},   {7, u"cat_tables"}, {8, u"name"},    {9, u"type_pay"},
    {9, u"cash_pay"},   {9, u"id"},     {9, u"zakaz"},      {10, u"id"},     {10, u"name"},
    {11, u"name"},      {1, u"id"},     {12, u"discount"},
};

platform::String Numbered(const char16_t* prefix, std::size_t index) {
    return prefix + platform::IntToStr(std::int64_t(index + 1));
}

}  // namespace

// The components as the window's resource makes them: properties first, with Connected and
// Active only recorded, then bindings.
void TForm1::CreateComponents(const TServiceSettings& settings) {
    data_access::mysql::RegisterMySQLUniProvider();
    UniConnection1.BeginLoading();
    UniConnection1.SetProviderName(u"MySQL");
    UniConnection1.SetServer(settings.Server);
    UniConnection1.SetPort(settings.Port);
    UniConnection1.SetDatabase(settings.Database);
    UniConnection1.SetUsername(settings.Username);
    UniConnection1.SetPassword(settings.Password);
    UniConnection1.SpecificOptions().Add(u"MySQL.UseUnicode=True");
    UniConnection1.SpecificOptions().Add(PacketLimitOption);
    UniConnection1.LoginPrompt = false;
    UniConnection1.SetConnected(true);
    const platform::String timeout = CommandTimeoutOption(settings.CommandTimeout);

    for (std::size_t i = 0; i < UniQuery.size(); ++i) {
        UniQuery[i] = std::make_unique<data_access::TUniQuery>(Numbered(u"UniQuery", i));
        data_access::TUniQuery& query = *UniQuery[i];
        query.BeginLoading();
        query.SetConnection(&UniConnection1);
        query.SQL().Add(InitialSQL[i]);
        query.SpecificOptions().Add(timeout);
        query.SetActive(true);
        UniDataSource[i] =
            std::make_unique<data_access::TUniDataSource>(Numbered(u"UniDataSource", i));
        UniDataSource[i]->SetDataSet(&query);
    }
    UniSQL1.SetConnection(&UniConnection1);
    UniSQL1.SpecificOptions().Add(timeout);

    for (std::size_t i = 0; i < DBMemo.size(); ++i) {
        DBMemo[i] = std::make_unique<platform::TDBMemo>(Numbered(u"DBMemo", i));
        DBMemo[i]->SetDataSource(UniDataSource.at(std::size_t(MemoBindings[i].Query - 1)).get());
        DBMemo[i]->SetDataField(MemoBindings[i].Field);
    }
}

// Components finish loading in resource order: UniQuery1 opens first and so connects the
// connection, which then finds itself connected; the other queries follow in number order.
void TForm1::LoadComponents() {
    UniQuery[0]->Loaded();
    UniConnection1.Loaded();
    for (std::size_t i = 1; i < UniQuery.size(); ++i) {
        UniQuery[i]->Loaded();
    }
}

}  // namespace app
