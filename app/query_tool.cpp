#include "app/query_tool.h"

#include <exception>

#include "app/command_line.h"
#include "app/connection_options.h"
#include "data_access/mysql/my_parser.h"
#include "data_access/mysql/mysql_uni_provider.h"
#include "data_access/uni.h"
#include "platform/field.h"
#include "platform/text_encoding.h"

namespace app {

namespace {

constexpr const char* Usage =
    "Usage: vx26-query [OPTION]... STATEMENT\n"
    "Runs STATEMENT as the print service would and prints the field names, then one line per\n"
    "row with each field's value text, separated by tabs. In values, a backslash, tab, carriage\n"
    "return and line feed are written \\\\, \\t, \\r and \\n so that each row keeps one line.\n"
    "A statement that does not start with SELECT, SHOW, DESC, DESCRIBE, EXPLAIN, WITH, VALUES,\n"
    "TABLE, CALL or a parenthesis is executed as a command and prints the rows it changed.\n"
    "\n"
    "  --server HOST      server host (default: the local machine)\n"
    "  --port N           TCP port (default 3306)\n"
    "  --user NAME        user name (default root)\n"
    "  --password TEXT    password (default none)\n"
    "  --database NAME    database (default screen)\n"
    "  --command-timeout SECONDS\n"
    "                     how long to wait for the server's answer to the statement\n"
    "                     (default 30; 0 waits without a limit)\n"
    "  --help             show this text\n";

// The statement and the connection settings the command line gives.
struct TSettings {
    std::string server;
    int port = 3306;
    std::string user = "root";
    std::string password;
    std::string database = "screen";
    int commandTimeout = 30;
    std::string statement;
    bool help = false;
};

TSettings ParseArgs(const std::vector<std::string>& args) {
    const TCommandLine line = TCommandLine::Parse(
        args, {"--server", "--port", "--user", "--password", "--database", "--command-timeout"});
    TSettings settings;
    settings.help = line.Help;
    if (settings.help) {
        return settings;
    }
    if (line.Arguments.size() > 1) {
        throw EUsage("more than one statement given; quote the statement as one argument");
    }
    if (line.Arguments.empty()) {
        throw EUsage("no statement given");
    }
    settings.server = line.Value("--server", settings.server);
    settings.port = line.Port("--port", settings.port);
    settings.user = line.Value("--user", settings.user);
    settings.password = line.Value("--password", settings.password);
    settings.database = line.Value("--database", settings.database);
    settings.commandTimeout = line.Seconds("--command-timeout", settings.commandTimeout);
    settings.statement = line.Arguments.front();
    return settings;
}

// The value text with the characters that would break the line format escaped.
std::string LineSafe(const platform::String& text) {
    std::string result;
    for (const char c : platform::Utf16ToUtf8(text)) {
        switch (c) {
            case '\\':
                result += "\\\\";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\n':
                result += "\\n";
                break;
            default:
                result += c;
        }
    }
    return result;
}

// Whether the statement is of a kind that returns rows, judged by its first word: the others
// are run as commands, since a query reports their lack of rows only after they have run.
bool ReturnsRows(const platform::String& statement) {
    static constexpr const char16_t* rowKeywords[] = {u"SELECT",  u"SHOW", u"DESC",   u"DESCRIBE",
                                                      u"EXPLAIN", u"WITH", u"VALUES", u"TABLE",
                                                      u"CALL",    u"("};
    data_access::mysql::TMyParser parser(statement);
    parser.SetOmitComment(true);
    platform::String first;
    parser.GetNext(first);
    for (const char16_t* keyword : rowKeywords) {
        if (platform::AsciiSameText(first, keyword)) {
            return true;
        }
    }
    return false;
}

void PrintRows(data_access::TUniQuery& query, std::ostream& out) {
    const auto& fields = query.Fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out << (i ? "\t" : "") << LineSafe(fields[i]->FieldName());
    }
    out << '\n';
    for (query.First(); !query.Eof(); query.Next()) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out << (i ? "\t" : "") << LineSafe(fields[i]->AsString());
        }
        out << '\n';
    }
}

}  // namespace

int RunQueryTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const TSettings settings = ParseArgs(args);
        if (settings.help) {
            out << Usage;
            return 0;
        }
        data_access::mysql::RegisterMySQLUniProvider();
        data_access::TUniConnection connection(u"UniConnection1");
        connection.SetProviderName(u"MySQL");
        connection.SetServer(platform::Utf8ToUtf16(settings.server));
        connection.SetPort(settings.port);
        connection.SetUsername(platform::Utf8ToUtf16(settings.user));
        connection.SetPassword(platform::Utf8ToUtf16(settings.password));
        connection.SetDatabase(platform::Utf8ToUtf16(settings.database));
        connection.LoginPrompt = false;
        connection.SpecificOptions().Add(u"MySQL.UseUnicode=True");
        connection.SpecificOptions().Add(PacketLimitOption);
        const platform::String timeoutOption = CommandTimeoutOption(settings.commandTimeout);

        const platform::String statement = platform::Utf8ToUtf16(settings.statement);
        if (!ReturnsRows(statement)) {
            data_access::TUniSQL command(u"UniSQL1");
            command.SetConnection(&connection);
            command.SpecificOptions().Add(timeoutOption);
            command.SQL().Add(statement);
            command.Execute();
            out << command.RowsAffected() << " rows affected\n";
            return 0;
        }
        data_access::TUniQuery query(u"UniQuery1");
        query.SetConnection(&connection);
        query.SpecificOptions().Add(timeoutOption);
        query.SQL().Add(statement);
        query.Open();
        PrintRows(query, out);
        return 0;
    } catch (const EUsage& error) {
        err << "vx26-query: " << error.what() << "\nTry 'vx26-query --help'.\n";
    } catch (const std::exception& error) {
        err << error.what() << '\n';
    }
    return 1;
}

}  // namespace app
