// Prints through a real CUPS queue whose device is a file; scripts/cups-sandbox provides one.
#include "app/printing/system_printers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include "tests/app/printing/pdf_tools.h"
#include "tests/app/printing/qt_text.h"

// libcups (2.4) keeps a few strings of the PPD cache that Qt's print plugin has it build for each
// QPrinter; the leak checker would fail every run on them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_ppdCacheCreateWithPPD\n";
}

namespace {

class SystemPrinters : public testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("CUPS_SERVER") ||
            qEnvironmentVariableIsEmpty("TEST_CUPS_QUEUE")) {
            GTEST_SKIP()
                << "CUPS_SERVER and TEST_CUPS_QUEUE are not set "
                   "(run scripts/cups-sandbox start; eval \"$(scripts/cups-sandbox env)\")";
        }
        queue = qEnvironmentVariable("TEST_CUPS_QUEUE");
        output = qEnvironmentVariable("TEST_CUPS_OUTPUT");
    }

    QString queue;
    QString output;
};

TEST_F(SystemPrinters, TheQueueIsListedAsTheDefault) {
    const app::TSystemPrinters printers;
    const std::vector<QString> names = printers.PrinterNames();
    const auto found = std::find(names.begin(), names.end(), queue);
    ASSERT_NE(found, names.end());
    EXPECT_EQ(printers.DefaultPrinter(), int(found - names.begin()));
}

// The text pdftotext reads from the queue's output once the spooler has written all of it;
// nothing if that does not happen within a bound.
std::optional<QString> WaitForOutput(const QString& path, const QString& expected) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(30);
    while (steady_clock::now() < deadline) {
        if (QFileInfo(path).size() > 0) {
            const auto run = test_support::RunPdfTool("pdftotext", {"-layout", path, "-"});
            if (run && run->succeeded && run->output.contains(expected)) {
                return run->output;
            }
        }
        QThread::msleep(200);
    }
    return std::nullopt;
}

TEST_F(SystemPrinters, PrintedTextsReachTheQueue) {
    if (output.isEmpty()) {
        GTEST_SKIP() << "TEST_CUPS_OUTPUT (the queue's output file) is not set";
    }
    if (!test_support::RunPdfTool("pdftotext", {"-v"})) {
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    }
    QFile::remove(output);
    ASSERT_FALSE(QFileInfo::exists(output)) << output.toStdString();

    app::TPrinter printer(std::make_unique<app::TSystemPrinters>());
    printer.Title = "vx26 system printer test";
    printer.BeginDoc();
    printer.TextOut(0, 0, "Borscht 120.00");
    printer.SetFontSize(12);
    printer.TextOut(0, 100, "Борщ с пампушками");
    printer.EndDoc();

    const std::optional<QString> text = WaitForOutput(output, "пампушками");
    ASSERT_TRUE(text) << "no PDF with the printed text at " << output.toStdString();
    EXPECT_TRUE(text->contains("Borscht 120.00")) << text->toStdString();
    EXPECT_TRUE(text->contains("Борщ с пампушками")) << text->toStdString();
}

}  // namespace
