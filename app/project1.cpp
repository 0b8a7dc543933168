#include <QApplication>
#include <QMessageBox>
#include <QTimer>
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
    "on its icon opens the panel. Without a display it runs without a window.\n"
    "\n"
    "  --server HOST        database server (default: the local machine)\n"
    "  --port N             TCP port (default 3306)\n"
    "  --user NAME          user name (default root)\n"
    "  --password TEXT      password (default none)\n"
    "  --database NAME      database (default screen)\n"
    "  --command-timeout S  seconds a statement may take before it fails as a lost connection\n"
    "                       and the connection is made anew (default 30; 0: no limit)\n"
    "  --printers DIR       print on virtual printers: every subdirectory of DIR is a 203 dpi\n"
    "                       receipt printer that writes each document as NNNNNN.json and\n"
    "                       NNNNNN.pdf (default: the system's printers)\n"
    "  --help               show this text\n";

platform::String U16(const std::string& text) {
    return QString::fromStdString(text).toStdU16String();
}

// The service's settings from the command line; raises EUsage.
app::TServiceSettings SettingsFrom(const app::TCommandLine& line) {
    app::TServiceSettings settings;
    settings.Server = U16(line.Value("--server", "localhost"));
    settings.Port = line.Port("--port", 0);
    settings.Username = U16(line.Value("--user", "root"));
    settings.Password = U16(line.Value("--password", ""));
    settings.Database = U16(line.Value("--database", "screen"));
    settings.CommandTimeout = line.Seconds("--command-timeout", settings.CommandTimeout);
    return settings;
}

// Without a display Qt would abort at start; the service runs on without a window then. Returns
// whether the offscreen platform was chosen for that reason. A platform the user chose stays.
bool ChoosePlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return false;
    }
    QByteArray platforms;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        platforms += "wayland;";
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        platforms += "xcb;";
    }
    // Qt tries the platforms in order: a display that cannot be reached falls through too.
    qputenv("QT_QPA_PLATFORM", platforms + "offscreen");
    return true;
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

std::unique_ptr<app::TPrinterBackend> PrintersFrom(const app::TCommandLine& line) {
    if (line.Options.contains("--printers")) {
        return std::make_unique<app::TVirtualPrinters>(
            QString::fromStdString(line.Options.at("--printers")));
    }
    return std::make_unique<app::TSystemPrinters>();
}

int RunService(const app::TCommandLine& line, int argc, char** argv) {
    const app::TServiceSettings settings = SettingsFrom(line);
    const bool platformChosen = ChoosePlatform();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vx26"));
    if (platformChosen && !HasScreen()) {
        app::LogLine(std::cerr,
                     QStringLiteral("no display: running without a window; errors go to this "
                                    "log only"));
    }
    app::TPrinter printer(std::make_unique<app::TLoggedPrinters>(PrintersFrom(line), std::cerr));
    printer.ProcessEvents = [] { QCoreApplication::processEvents(); };

    app::TErrorReport report(std::cerr, HasScreen() ? app::MakeMessageBox : nullptr);
    QTimer flushRepeats;
    QObject::connect(&flushRepeats, &QTimer::timeout, [&] { report.Flush(); });
    flushRepeats.start(60000);
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
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const app::TCommandLine line = app::TCommandLine::Parse(
            {argv + 1, argv + argc}, {"--server", "--port", "--user", "--password", "--database",
                                      "--command-timeout", "--printers"});
        if (!line.Arguments.empty()) {
            throw app::EUsage("unexpected argument " + line.Arguments.front());
        }
        if (line.Help) {
            std::cout << Usage;
            return 0;
        }
        return RunService(line, argc, argv);
    } catch (const app::EUsage& error) {
        std::cerr << "vx26: " << error.what() << "\nTry 'vx26 --help'.\n";
        return 1;
    }
}
