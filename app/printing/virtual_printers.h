#pragma once

#include <QString>
#include <vector>

#include "app/printing/printer.h"

namespace app {

// Printers that are directories: each subdirectory of a directory is a receipt printer named
// after it, and every document printed on it becomes a numbered JSON description (what was drawn
// where) and a PDF of the page, so tests and demonstrations can see exactly what was printed.
// The list is read once, when the object is made, so indexes keep meaning the same printer.
class TVirtualPrinters : public TPrinterBackend {
public:
    static constexpr int Dpi = 203;
    static constexpr int PageWidth = 576;

    explicit TVirtualPrinters(QString directory);

    // The subdirectories of directory, sorted by the bytes of their names; none when it is
    // missing.
    static std::vector<QString> List(const QString& directory);
    // The height in dots of the page a document is printed on: its texts, at least an inch.
    static int PageHeight(const TPrintDocument& document);

    std::vector<QString> PrinterNames() const override { return FNames; }
    // The first printer, when there is one.
    int DefaultPrinter() const override { return FNames.empty() ? -1 : 0; }
    // Writes NNNNNN.pdf, then NNNNNN.json, numbered on from the highest number in the printer's
    // directory.
    void Print(int index, const TPrintDocument& document) override;

private:
    QString FDirectory;
    std::vector<QString> FNames;
};

}  // namespace app
