#include "app/printing/system_printers.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "app/printing/document_renderer.h"

namespace app {

TSystemPrinters::TSystemPrinters() {
    const QStringList names = QPrinterInfo::availablePrinterNames();
    FNames.assign(names.begin(), names.end());
    const auto found = std::find(FNames.begin(), FNames.end(), QPrinterInfo::defaultPrinterName());
    if (found != FNames.end()) {
        FDefault = int(found - FNames.begin());
    }
}

void TSystemPrinters::Print(int index, const TPrintDocument& document) {
    if (index < 0 || std::size_t(index) >= FNames.size()) {
        throw EPrinter("Printer index out of range");
    }
    const QString& name = FNames[std::size_t(index)];
    QPrinter printer(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    printer.setDocName(document.Title);
    printer.setFullPage(true);
    printer.setResolution(Dpi);
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw EPrinter("Cannot print on " + name.toStdString());
    }
    RenderDocument(painter, document);
    // Ending the painter spools the document.
    if (!painter.end()) {
        throw EPrinter("Cannot spool the document on " + name.toStdString());
    }
}

}  // namespace app
