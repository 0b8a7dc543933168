// What each document of the print service costs: the statements it sends (the server's Questions
// counter before and after) and its wall time without the bill's pauses, for the sample
// restaurant and for large ones made by db/generate-large-restaurant.
//
//   receipts_bench [DISHES ROWS]...   (default: 50 1000 and 500 200)
//
// Reads the server from TEST_MYSQL_HOST and TEST_MYSQL_PORT (scripts/mariadb-sandbox env) and
// loads the databases with the mariadb client.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/printing/virtual_printers.h"
#include "app/vx26.h"
#include "data_access/mysql/mysql_uni_provider.h"
#include "platform/field.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* Database = "vx26_bench_receipts";

struct TServer {
    QString host;
    int port;
};

// Runs the mariadb client with the SQL as its input.
void Load(const TServer& server, const QByteArray& sql, const QString& database) {
    QProcess client;
    QStringList args = {
        QStringLiteral("--no-defaults"), QStringLiteral("-h"),    server.host, QStringLiteral("-P"),
        QString::number(server.port),    QStringLiteral("-uroot")};
    if (!database.isEmpty()) {
        args << database;
    }
    client.start(QStringLiteral("mariadb"), args);
    client.write(sql);
    client.closeWriteChannel();
    if (!client.waitForFinished(600000) || client.exitCode() != 0) {
        throw std::runtime_error("mariadb failed: " + client.readAllStandardError().toStdString());
    }
}

QByteArray FileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

QByteArray Generated(int dishes, int rows) {
    QProcess generator;
    generator.start(QStringLiteral(VX26_SOURCE_DIR "/db/generate-large-restaurant"),
                    {QString::number(dishes), QString::number(rows)});
    generator.waitForFinished(60000);
    return generator.readAllStandardOutput();
}

// Every statement the server has answered so far, this one not counted.
long long Questions(data_access::TUniConnection& connection) {
    data_access::TUniQuery query;
    query.SetConnection(&connection);
    query.SQL().Add(u"show global status like 'Questions'");
    query.Open();
    return std::stoll(platform::Utf16ToUtf8(query.Fields().at(1)->AsString()));
}

// Prints every pending job of the database, one line per job.
void Measure(const TServer& server, const std::string& scenario) {
    QTemporaryDir printers;
    for (const char* name : {"0", "1", "2", "3"}) {
        QDir(printers.path()).mkdir(QString::fromLatin1(name));
    }
    app::TPrinter printer(std::make_unique<app::TVirtualPrinters>(printers.path()));
    app::TServiceSettings settings;
    settings.Server = server.host.toStdU16String();
    settings.Port = server.port;
    settings.Database = platform::Utf8ToUtf16(Database);
    app::TForm1 form(settings, printer, [](const std::exception& error) {
        std::cerr << "receipts_bench: " << error.what() << '\n';
    });
    form.Pause = [](int) {};
    form.settings();

    data_access::TUniConnection counter;
    counter.SetProviderName(u"MySQL");
    counter.SetServer(settings.Server);
    counter.SetPort(server.port);
    counter.SetUsername(u"root");
    counter.LoginPrompt = false;
    for (;;) {
        const long long before = Questions(counter);
        const auto start = std::chrono::steady_clock::now();
        form.check_print();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const long long statements = Questions(counter) - before - 1;
        if (form.print_id.empty()) {
            break;
        }
        std::printf("%-26s job %-3s %-12s %10lld statements %10.1f ms\n", scenario.c_str(),
                    platform::Utf16ToUtf8(form.print_id).c_str(),
                    platform::Utf16ToUtf8(form.Memo(7)).c_str(), statements,
                    std::chrono::duration<double, std::milli>(elapsed).count());
        std::fflush(stdout);
    }
}

void Run(const TServer& server, const std::string& scenario, const QByteArray& data) {
    Load(server,
         QByteArray("DROP DATABASE IF EXISTS ") + Database + "; CREATE DATABASE " + Database +
             " CHARACTER SET utf8mb4;",
         {});
    Load(server, FileText(QStringLiteral(VX26_SOURCE_DIR "/db/schema.sql")),
         QString::fromLatin1(Database));
    Load(server, data, QString::fromLatin1(Database));
    Measure(server, scenario);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const char* host = std::getenv("TEST_MYSQL_HOST");
    const char* port = std::getenv("TEST_MYSQL_PORT");
    if (!host || !port) {
        std::cerr << "receipts_bench: set TEST_MYSQL_HOST and TEST_MYSQL_PORT "
                     "(eval \"$(scripts/mariadb-sandbox env)\")\n";
        return 1;
    }
    const TServer server{QString::fromLatin1(host), std::atoi(port)};
    data_access::mysql::RegisterMySQLUniProvider();
    std::vector<std::pair<int, int>> sizes;
    for (int i = 1; i + 1 < argc; i += 2) {
        sizes.emplace_back(std::atoi(argv[i]), std::atoi(argv[i + 1]));
    }
    if (sizes.empty()) {
        sizes = {{50, 1000}, {500, 200}};
    }
    try {
        Run(server, "sample restaurant",
            FileText(QStringLiteral(VX26_SOURCE_DIR "/db/sample.sql")));
        for (const auto& [dishes, rows] : sizes) {
            Run(server, std::to_string(dishes) + " dishes, " + std::to_string(rows) + " rows",
                Generated(dishes, rows));
        }
    } catch (const std::exception& error) {
        std::cerr << "receipts_bench: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
