#include "app/printing/printer.h"

namespace app {

namespace {

[[noreturn]] void RaiseNotPrinting() {
    throw EPrinter("Printer is not currently printing");
}

}  // namespace

TPrinter::TPrinter(std::unique_ptr<TPrinterBackend> backend) : FBackend(std::move(backend)) {}

void TPrinter::SetPrinterIndex(int index) {
    if (index != -1 && (index < 0 || std::size_t(index) >= FBackend->PrinterNames().size())) {
        throw EPrinter("Printer index out of range");
    }
    FPrinterIndex = index;
}

int TPrinter::ResolvedIndex() const {
    return FPrinterIndex == -1 ? FBackend->DefaultPrinter() : FPrinterIndex;
}

void TPrinter::BeginDoc() {
    if (Printing()) {
        throw EPrinter("Printing in progress");
    }
    const int printer = ResolvedIndex();
    if (printer == -1) {
        throw EPrinter("There is no default printer currently selected");
    }
    FDocument = std::make_unique<TPrintDocument>(TPrintDocument{Title, {}});
    FDocumentPrinter = printer;
}

void TPrinter::TextOut(int x, int y, const QString& text) {
    if (!FDocument) {
        RaiseNotPrinting();
    }
    if (!text.isEmpty()) {
        FDocument->Ops.push_back({x, y, FFontSize, text});
    }
}

void TPrinter::EndDoc() {
    if (!FDocument) {
        RaiseNotPrinting();
    }
    if (ProcessEvents) {
        // A failing event handler must not leave the printer stuck in a document nobody ends.
        try {
            ProcessEvents();
        } catch (...) {
            FDocument.reset();
            throw;
        }
        // An event handler may have aborted the document.
        if (!FDocument) {
            return;
        }
    }
    // Taken out first: the printer stops printing even when spooling fails.
    const std::unique_ptr<TPrintDocument> document = std::move(FDocument);
    FBackend->Print(FDocumentPrinter, *document);
}

void TPrinter::Abort() noexcept {
    FDocument.reset();
}

}  // namespace app
