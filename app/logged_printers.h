#pragma once

#include <memory>
#include <ostream>

#include "app/printing/printer.h"

namespace app {

// A backend that writes a log line for every document another backend spooled.
class TLoggedPrinters final : public TPrinterBackend {
public:
    TLoggedPrinters(std::unique_ptr<TPrinterBackend> backend, std::ostream& log)
        : FBackend(std::move(backend)), FLog(log) {}

    std::vector<QString> PrinterNames() const override { return FBackend->PrinterNames(); }
    int DefaultPrinter() const override { return FBackend->DefaultPrinter(); }
    void Print(int index, const TPrintDocument& document) override;

private:
    std::unique_ptr<TPrinterBackend> FBackend;
    std::ostream& FLog;
};

}  // namespace app
