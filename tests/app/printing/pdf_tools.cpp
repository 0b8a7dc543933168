#include "tests/app/printing/pdf_tools.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace test_support {

namespace {

// The tool's output when it succeeded, else an empty text and a failed expectation.
std::optional<QString> Output(const QString& tool, const QStringList& args) {
    const std::optional<TToolRun> run = RunPdfTool(tool, args);
    if (!run) {
        return std::nullopt;
    }
    EXPECT_TRUE(run->succeeded) << tool.toStdString() << ": " << run->errors.toStdString();
    return run->output;
}

}  // namespace

std::optional<TToolRun> RunPdfTool(const QString& tool, const QStringList& args) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    process.start(program, args);
    const bool finished = process.waitForFinished(60000);
    return TToolRun{
        finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}

std::optional<QString> PdfText(const QString& path) {
    return Output("pdftotext", {"-layout", "-enc", "UTF-8", path, "-"});
}

std::optional<QSizeF> PdfPageSize(const QString& path) {
    const std::optional<QString> info = Output("pdfinfo", {path});
    if (!info) {
        return std::nullopt;
    }
    static const QRegularExpression size(QStringLiteral("Page size: *([0-9.]+) x ([0-9.]+) pts"));
    const QRegularExpressionMatch match = size.match(*info);
    EXPECT_TRUE(match.hasMatch()) << info->toStdString();
    return QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
}

}  // namespace test_support
