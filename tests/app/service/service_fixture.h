#pragma once

#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/printing/printer.h"
#include "app/vx26.h"
#include "data_access/uni.h"
#include "tests/support/server_test.h"

namespace service_test {

// The window against a database made from db/schema.sql on the throwaway server, printing on
// four virtual printers (0-kassa, 1-kitchen, 2-bar, 3-control), with the errors its handlers
// report collected.
class ServiceTest : public test_support::ServerTest {
protected:
    ServiceTest();

    void SetUp() override;
    void TearDown() override;
    // Before the database is made: a test may point server at a server of its own.
    virtual void ChooseServer() {}

    // Makes the service's database afresh from db/schema.sql, its tables empty.
    void CreateDatabase();
    // Runs statements on the service's database, one per call.
    void Execute(const std::u16string& sql);
    // Drops the set-up connection (after a server restart): the next statement connects anew.
    void Reconnect() { FSetup.Disconnect(); }
    // The first field of the first row the statement returns, as text.
    std::u16string Value(const std::u16string& sql);
    // Fills the seven settings with workable values (printer_timer 3, control_printer 1).
    void InsertSettings();
    void InsertPrinters();
    // The printers and a small order 12 at table 3 without a client: three dishes, one each (two
    // in batch 1 on the kitchen, one in batch 2 on the bar), and its payments.
    void InsertSmallOrder();
    // Builds the window (Form1, of the class given) over the database.
    template <typename Form = app::TForm1>
    Form& Start() {
        auto window = std::make_unique<Form>(Settings(), *printer, [this](const std::exception& e) {
            errors.push_back(e.what());
            if (onError) {
                onError(e);
            }
        });
        Form& result = *window;
        result.Log = [this](const QString& line) { logged.push_back(line.toStdString()); };
        form = std::move(window);
        return result;
    }
    // The window's settings: the database made for the test on the throwaway server.
    virtual app::TServiceSettings Settings() const;

    // The JSON documents a virtual printer wrote, oldest first (of printersDir unless another
    // directory of printers is named).
    std::vector<QJsonObject> Documents(const QString& printer, QString directory = {}) const;
    // Every document of every printer.
    int DocumentCount() const;

    // One database per test process, so that tests may run in parallel.
    const std::string Database;
    QTemporaryDir printersDir;
    std::unique_ptr<app::TPrinter> printer;
    std::vector<std::string> errors;
    // Also told of each error, when set.
    std::function<void(const std::exception&)> onError;
    // What the window logged that is no error.
    std::vector<std::string> logged;
    std::unique_ptr<app::TForm1> form;

private:
    data_access::TUniConnection FSetup;
};

// The ops of a virtual printer's document, one "x y size text" string each.
std::vector<std::string> Ops(const QJsonObject& document);

// Texts as UTF-8, for messages.
std::string U8(const std::u16string& text);
std::u16string U16(const std::string& text);

}  // namespace service_test
