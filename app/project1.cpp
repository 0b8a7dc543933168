#include <QApplication>
#include <QMessageBox>
#include <iostream>

#include "app/command_line.h"
#include "app/error_report.h"
#include "app/logged_printers.h"
#include "app/printing/system_printers.h"
#include "app/printing/virtual_printers.h"
#include "app/vx26.h"

namespace {

constexpr const char* Usage =
    "Usage: vx26 [OPTION]...\n"
    "The restaurant print service: polls the print queue of the database and prints kitchen and\n"
    "bar tickets, guest bills and closing receipts. It lives in the notification area; a click\n"
    "on its icon opens the panel.\n"
    "\n"
    "  --server HOST      database server (default: the local machine)\n"
    "  --port N           TCP port (default 3306)\n"
    "  --user NAME        user name (default root)\n"
    "  --password TEXT    password (default none)\n"
    "  --database NAME    database (default screen)\n"
    "  --printers DIR     print on virtual printers: every subdirectory of DIR is a 203 dpi\n"
    "                     receipt printer that writes each document as NNNNNN.json and\n"
    "                     NNNNNN.pdf (default: the system's printers)\n"
    "  --help             show this text\n";

platform::String U16(const std::string& text) {
    return QString::fromStdString(text).toStdU16String();
}

// Whether error boxes can be seen: not on the platforms without a screen.
bool HasScreen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// A failed start ends the program, reported as the unhandled error it is.
int ReportStartFailure(const std::exception& error) {
    const QString text =
        app::ErrorClassName(error) + QStringLiteral(": ") + QString::fromUtf8(error.what());
    app::LogLine(std::cerr, QStringLiteral("Application Error: ") + text);
    if (HasScreen()) {
        QMessageBox::critical(nullptr, QStringLiteral("Application Error"), text);
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vx26"));
    app::TCommandLine line;
    try {
        line = app::TCommandLine::Parse(
            {argv + 1, argv + argc},
            {"--server", "--port", "--user", "--password", "--database", "--printers"});
        if (!line.Arguments.empty()) {
            throw app::EUsage("unexpected argument " + line.Arguments.front());
        }
        if (line.Help) {
            std::cout << Usage;
            return 0;
        }
        app::TServiceSettings settings;
        settings.Server = U16(line.Value("--server", "localhost"));
        settings.Port = line.Port("--port", 0);
        settings.Username = U16(line.Value("--user", "root"));
        settings.Password = U16(line.Value("--password", ""));
        settings.Database = U16(line.Value("--database", "screen"));

        std::unique_ptr<app::TPrinterBackend> printers;
        if (line.Options.contains("--printers")) {
            printers = std::make_unique<app::TVirtualPrinters>(
                QString::fromStdString(line.Options.at("--printers")));
        } else {
            printers = std::make_unique<app::TSystemPrinters>();
        }
        app::TPrinter printer(
            std::make_unique<app::TLoggedPrinters>(std::move(printers), std::cerr));
        printer.ProcessEvents = [] { QCoreApplication::processEvents(); };

        app::TErrorReport report(std::cerr, HasScreen() ? app::MakeMessageBox : nullptr);
        std::unique_ptr<app::TForm1> form;
        try {
            form = std::make_unique<app::TForm1>(
                settings, printer, [&](const std::exception& error) { report.Report(error); });
        } catch (const std::exception& error) {
            return ReportStartFailure(error);
        }
        form->ShowAtStart();
        app::LogLine(std::cerr, QStringLiteral("started; polling the print queue"));
        return application.exec();
    } catch (const app::EUsage& error) {
        std::cerr << "vx26: " << error.what() << "\nTry 'vx26 --help'.\n";
        return 1;
    }
}
