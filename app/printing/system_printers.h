#pragma once

#include <QString>
#include <vector>

#include "app/printing/printer.h"

namespace app {

// The system's print queues, through Qt's print support. The list and the default are read once,
// when the object is made, so indexes keep meaning the same queue.
class TSystemPrinters : public TPrinterBackend {
public:
    // Receipt printers' resolution; font sizes are converted with it.
    static constexpr int Dpi = 203;

    TSystemPrinters();

    std::vector<QString> PrinterNames() const override { return FNames; }
    int DefaultPrinter() const override { return FDefault; }
    // Draws the document on one full page and hands it to the spooler.
    void Print(int index, const TPrintDocument& document) override;

private:
    std::vector<QString> FNames;
    int FDefault = -1;
};

}  // namespace app
