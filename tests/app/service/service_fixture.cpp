#include "tests/app/service/service_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <sstream>

#include "app/printing/virtual_printers.h"
#include "data_access/mysql/mysql_uni_provider.h"
#include "platform/date_time.h"
#include "platform/field.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace service_test {

std::string U8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

std::u16string U16(const std::string& text) {
    return platform::Utf8ToUtf16(text);
}

std::vector<std::string> Ops(const QJsonObject& document) {
    std::vector<std::string> ops;
    for (const QJsonValue& value : document[QStringLiteral("ops")].toArray()) {
        const QJsonObject op = value.toObject();
        ops.push_back(std::to_string(op[QStringLiteral("x")].toInt()) + " " +
                      std::to_string(op[QStringLiteral("y")].toInt()) + " " +
                      std::to_string(op[QStringLiteral("size")].toInt()) + " " +
                      op[QStringLiteral("text")].toString().toStdString());
    }
    return ops;
}

namespace {

// The statements of db/schema.sql: the text between semicolons that end a line.
std::vector<std::string> SchemaStatements() {
    std::ifstream file(std::string(VX26_SOURCE_DIR) + "/db/schema.sql");
    std::vector<std::string> statements;
    std::string line;
    std::string statement;
    while (std::getline(file, line)) {
        if (line.starts_with("--")) {
            continue;
        }
        statement += line + "\n";
        if (line.ends_with(";")) {
            statements.push_back(statement.substr(0, statement.size() - 2));
            statement.clear();
        }
    }
    return statements;
}

}  // namespace

ServiceTest::ServiceTest()
    : Database("vx26_service_" + std::to_string(QCoreApplication::applicationPid())) {}

void ServiceTest::SetUp() {
    ServerTest::SetUp();
    if (IsSkipped()) {
        return;
    }
    ChooseServer();
    platform::FormatSettings() = platform::TFormatSettings{};
    platform::SetClock([] { return platform::EncodeDateTime(2026, 12, 10, 14, 5, 9, 0); });
    data_access::mysql::RegisterMySQLUniProvider();
    FSetup.SetProviderName(u"MySQL");
    FSetup.SetServer(U16(server.host));
    FSetup.SetPort(server.port);
    FSetup.SetUsername(U16(server.user));
    FSetup.SpecificOptions().Add(u"UseUnicode=True");
    FSetup.LoginPrompt = false;
    CreateDatabase();
    ASSERT_TRUE(printersDir.isValid());
    for (const char* name : {"0-kassa", "1-kitchen", "2-bar", "3-control"}) {
        ASSERT_TRUE(QDir(printersDir.path()).mkdir(QString::fromLatin1(name)));
    }
    printer = std::make_unique<app::TPrinter>(
        std::make_unique<app::TVirtualPrinters>(printersDir.path()));
}

void ServiceTest::CreateDatabase() {
    FSetup.SetDatabase(u"");
    Execute(u"drop database if exists " + U16(Database));
    Execute(u"create database " + U16(Database) + u" default charset utf8mb4");
    FSetup.SetDatabase(U16(Database));
    for (const std::string& statement : SchemaStatements()) {
        Execute(U16(statement));
    }
}

void ServiceTest::TearDown() {
    form.reset();
    if (!IsSkipped()) {
        FSetup.SetDatabase(u"");
        Execute(u"drop database if exists " + U16(Database));
    }
    platform::SetClock(nullptr);
}

void ServiceTest::Execute(const std::u16string& sql) {
    data_access::TUniSQL command;
    command.SetConnection(&FSetup);
    command.SQL().Add(sql);
    command.Execute();
}

std::u16string ServiceTest::Value(const std::u16string& sql) {
    data_access::TUniQuery query;
    query.SetConnection(&FSetup);
    query.SQL().Add(sql);
    query.Open();
    return query.Fields().empty() ? std::u16string() : query.Fields().front()->AsString();
}

void ServiceTest::InsertSettings() {
    Execute(
        u"insert into settings (name, value) values ('oragnization', 'Кафе «Самал»'), "
        u"('title', 'пр. Абая 52'), ('control_printer', '1'), ('printer_timer', '3'), "
        u"('printer_total', '0'), ('name_check_left', '40'), ('title_check_left', '60')");
}

void ServiceTest::InsertPrinters() {
    Execute(
        u"insert into printers (id, name, port) values (1, 'KASSA', 0), (2, 'KITCHEN', 1), "
        u"(3, 'BAR', 2), (4, 'CONTROL', 3)");
}

void ServiceTest::InsertSmallOrder() {
    InsertPrinters();
    Execute(u"insert into cat_tables (id, name) values (1, 'Зал')");
    Execute(u"insert into tables (id, name, procent, cat_tables) values (3, '3', 10, 1)");
    Execute(u"insert into menu (id, name) values (1, 'Борщ'), (2, 'Плов'), (3, 'Чай')");
    Execute(
        u"insert into zakaz (id, date_open, date_close, client, tables, waitres) values "
        u"(12, 1765360800, 1765364400, null, 3, 'Айгерим')");
    Execute(
        u"insert into podzakaz (zakaz, podzakaz, menu, kolvo, price, printer) values "
        u"(12, 1, 1, 1, 1800, 2), (12, 1, 2, 1, 2600, 2), (12, 2, 3, 1, 600, 3)");
    Execute(u"insert into type_pay (id, name) values (1, 'Наличные')");
    Execute(u"insert into pay (zakaz, type_pay, cash_pay) values (12, 1, 6000), (12, 1, -500)");
}

app::TServiceSettings ServiceTest::Settings() const {
    app::TServiceSettings settings;
    settings.Server = U16(server.host);
    settings.Port = server.port;
    settings.Username = U16(server.user);
    settings.Database = U16(Database);
    return settings;
}

std::vector<QJsonObject> ServiceTest::Documents(const QString& printerName,
                                                QString directory) const {
    if (directory.isEmpty()) {
        directory = printersDir.path();
    }
    const QDir dir(directory + QLatin1Char('/') + printerName);
    std::vector<QJsonObject> documents;
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        documents.push_back(QJsonDocument::fromJson(file.readAll()).object());
    }
    return documents;
}

int ServiceTest::DocumentCount() const {
    int count = 0;
    for (const char* name : {"0-kassa", "1-kitchen", "2-bar", "3-control"}) {
        count += int(Documents(QString::fromLatin1(name)).size());
    }
    return count;
}

}  // namespace service_test
