#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace app {

// A failure of the printer object or of spooling.
class EPrinter : public platform::Exception {
public:
    using Exception::Exception;
};

// One text drawn on a document: device coordinates of its top-left corner, size in points.
struct TPrintOp {
    int X = 0;
    int Y = 0;
    int Size = 0;
    QString Text;
};

// A finished document, as the printer hands it to its backend.
struct TPrintDocument {
    QString Title;
    std::vector<TPrintOp> Ops;
};

// Where documents go: the installed printers and the spooling of a finished document.
class TPrinterBackend {
public:
    virtual ~TPrinterBackend() = default;

    // The installed printers' names, in the system's order.
    virtual std::vector<QString> PrinterNames() const = 0;
    // The position of the default printer in PrinterNames(); -1 when there is none.
    virtual int DefaultPrinter() const = 0;
    // Spools a finished document on the printer at index, its font sizes converted with the
    // printer's vertical resolution; raises EPrinter when it cannot.
    virtual void Print(int index, const TPrintDocument& document) = 0;
};

// The process's printer object: the printer list, the current printer, and one document at a
// time, drawn as texts at device coordinates in the current font size. A document reaches the
// backend only when it ends; one abandoned before (Abort, or a new printer object) never does.
class TPrinter {
public:
    explicit TPrinter(std::unique_ptr<TPrinterBackend> backend);

    std::vector<QString> Printers() const { return FBackend->PrinterNames(); }
    int PrinterIndex() const noexcept { return FPrinterIndex; }
    // -1 is the default printer; any other index outside the list raises "Printer index out of
    // range".
    void SetPrinterIndex(int index);

    QString Title;

    // Raises "Printing in progress" while a document is open.
    void BeginDoc();
    // Draws text with its top-left corner at (x, y) in the current font size; empty text draws
    // nothing.
    void TextOut(int x, int y, const QString& text);
    // Points; the size stays in effect across documents.
    int FontSize() const noexcept { return FFontSize; }
    void SetFontSize(int points) noexcept { FFontSize = points; }
    // Processes pending events (ProcessEvents) while the document is still open, then spools it.
    // Raises "Printer is not currently printing" without an open document.
    void EndDoc();
    // Drops the open document, if any.
    void Abort() noexcept;
    bool Printing() const noexcept { return FDocument != nullptr; }

    // Run by EndDoc while the document is spooled, as a spooler's abort callback lets the
    // program handle its pending events.
    std::function<void()> ProcessEvents;

private:
    // The index the backend knows: the default printer's for -1.
    int ResolvedIndex() const;

    std::unique_ptr<TPrinterBackend> FBackend;
    int FPrinterIndex = -1;
    int FFontSize = 8;
    std::unique_ptr<TPrintDocument> FDocument;
    int FDocumentPrinter = -1;
};

}  // namespace app
