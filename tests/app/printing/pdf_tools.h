#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <optional>

namespace test_support {

struct TToolRun {
    bool succeeded = false;
    QString output;
    QString errors;
};

// Runs a poppler tool to its end; nothing when the tool is not installed.
std::optional<TToolRun> RunPdfTool(const QString& tool, const QStringList& args);

// The text pdftotext -layout reads from the file; fails the current test when it cannot.
std::optional<QString> PdfText(const QString& path);

// The first page's size in points, as pdfinfo reads it; fails the current test when it cannot.
std::optional<QSizeF> PdfPageSize(const QString& path);

}  // namespace test_support
