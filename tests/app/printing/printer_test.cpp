#include "app/printing/printer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/printing/qt_text.h"
#include "tests/support/raised_message.h"

namespace {

using app::EPrinter;
using app::TPrintDocument;
using test_support::RaisedMessage;

// Remembers what reaches the spooler; can fail on demand.
struct TSpooled {
    std::vector<std::pair<int, TPrintDocument>> documents;
    bool fail = false;
};

class TRecordingBackend : public app::TPrinterBackend {
public:
    TRecordingBackend(std::vector<QString> names, int defaultPrinter, TSpooled& spooled)
        : FNames(std::move(names)), FDefault(defaultPrinter), FSpooled(spooled) {}

    std::vector<QString> PrinterNames() const override { return FNames; }
    int DefaultPrinter() const override { return FDefault; }
    void Print(int index, const TPrintDocument& document) override {
        if (FSpooled.fail) {
            throw EPrinter("spooler down");
        }
        FSpooled.documents.emplace_back(index, document);
    }

private:
    std::vector<QString> FNames;
    int FDefault;
    TSpooled& FSpooled;
};

class Printer : public testing::Test {
protected:
    std::unique_ptr<app::TPrinter> Make(std::vector<QString> names, int defaultPrinter) {
        return std::make_unique<app::TPrinter>(
            std::make_unique<TRecordingBackend>(std::move(names), defaultPrinter, spooled));
    }

    TSpooled spooled;
    std::unique_ptr<app::TPrinter> printer = Make({"kitchen", "bar", "hall"}, 1);
};

std::string Message(app::TPrinter& printer, void (app::TPrinter::*call)()) {
    return RaisedMessage<EPrinter>([&] { (printer.*call)(); });
}

TEST_F(Printer, IndexAcceptsTheDefaultAndTheListOnly) {
    EXPECT_EQ(printer->PrinterIndex(), -1);
    EXPECT_EQ(printer->Printers(), (std::vector<QString>{"kitchen", "bar", "hall"}));
    const struct {
        int index;
        bool accepted;
    } cases[] = {{0, true}, {2, true}, {-1, true}, {3, false}, {-2, false}, {1, true}};
    int current = -1;
    for (const auto& c : cases) {
        const std::string message =
            RaisedMessage<EPrinter>([&] { printer->SetPrinterIndex(c.index); });
        if (c.accepted) {
            EXPECT_EQ(message, "(nothing)") << c.index;
            current = c.index;
        } else {
            EXPECT_EQ(message, "Printer index out of range") << c.index;
        }
        EXPECT_EQ(printer->PrinterIndex(), current) << c.index;
    }
}

TEST_F(Printer, CallsOutOfTurnAreRefused) {
    EXPECT_EQ(Message(*printer, &app::TPrinter::EndDoc), "Printer is not currently printing");
    EXPECT_EQ(RaisedMessage<EPrinter>([&] { printer->TextOut(0, 0, "x"); }),
              "Printer is not currently printing");
    printer->BeginDoc();
    EXPECT_EQ(Message(*printer, &app::TPrinter::BeginDoc), "Printing in progress");
    EXPECT_TRUE(printer->Printing());
    printer->EndDoc();
    EXPECT_FALSE(printer->Printing());
    EXPECT_EQ(Message(*printer, &app::TPrinter::EndDoc), "Printer is not currently printing");
    EXPECT_EQ(spooled.documents.size(), 1u);
}

TEST_F(Printer, DocumentCarriesTitleTextsAndFontSizes) {
    printer->Title = "Order 12";
    printer->SetPrinterIndex(2);
    printer->BeginDoc();
    printer->Title = "changed while printing";
    printer->TextOut(10, 20, "Борщ");
    printer->TextOut(30, 40, "");
    printer->SetFontSize(14);
    printer->TextOut(50, 60, "Total");
    printer->EndDoc();
    printer->BeginDoc();
    printer->TextOut(1, 2, "next");
    printer->EndDoc();

    ASSERT_EQ(spooled.documents.size(), 2u);
    const auto& [index, first] = spooled.documents[0];
    EXPECT_EQ(index, 2);
    EXPECT_EQ(first.Title, "Order 12");
    ASSERT_EQ(first.Ops.size(), 2u);
    EXPECT_EQ(first.Ops[0].X, 10);
    EXPECT_EQ(first.Ops[0].Y, 20);
    EXPECT_EQ(first.Ops[0].Size, 8);
    EXPECT_EQ(first.Ops[0].Text, "Борщ");
    EXPECT_EQ(first.Ops[1].X, 50);
    EXPECT_EQ(first.Ops[1].Y, 60);
    EXPECT_EQ(first.Ops[1].Size, 14);
    EXPECT_EQ(first.Ops[1].Text, "Total");
    const auto& second = spooled.documents[1].second;
    EXPECT_EQ(second.Title, "changed while printing");
    ASSERT_EQ(second.Ops.size(), 1u);
    EXPECT_EQ(second.Ops[0].Size, 14);
}

TEST_F(Printer, DefaultIndexResolvesWhenTheDocumentBegins) {
    printer->BeginDoc();
    printer->EndDoc();
    ASSERT_EQ(spooled.documents.size(), 1u);
    EXPECT_EQ(spooled.documents[0].first, 1);

    // The printer chosen at BeginDoc keeps the document even if the index changes meanwhile.
    printer->SetPrinterIndex(0);
    printer->BeginDoc();
    printer->SetPrinterIndex(2);
    printer->EndDoc();
    ASSERT_EQ(spooled.documents.size(), 2u);
    EXPECT_EQ(spooled.documents[1].first, 0);
}

TEST_F(Printer, WithoutPrintersThereIsNoDefault) {
    auto empty = Make({}, -1);
    EXPECT_EQ(RaisedMessage<EPrinter>([&] { empty->SetPrinterIndex(0); }),
              "Printer index out of range");
    EXPECT_EQ(Message(*empty, &app::TPrinter::BeginDoc),
              "There is no default printer currently selected");
    EXPECT_FALSE(empty->Printing());
}

TEST_F(Printer, EventsRunWhileTheDocumentIsStillOpen) {
    std::string nested;
    std::size_t spooledBefore = 99;
    printer->ProcessEvents = [&] {
        nested = Message(*printer, &app::TPrinter::BeginDoc);
        spooledBefore = spooled.documents.size();
    };
    printer->BeginDoc();
    printer->TextOut(0, 0, "soup");
    printer->EndDoc();
    EXPECT_EQ(nested, "Printing in progress");
    EXPECT_EQ(spooledBefore, 0u);
    ASSERT_EQ(spooled.documents.size(), 1u);
    ASSERT_EQ(spooled.documents[0].second.Ops.size(), 1u);
    EXPECT_EQ(spooled.documents[0].second.Ops[0].Text, "soup");
}

TEST_F(Printer, EventsMayAbortTheDocument) {
    printer->ProcessEvents = [&] { printer->Abort(); };
    printer->BeginDoc();
    printer->EndDoc();
    EXPECT_FALSE(printer->Printing());
    EXPECT_TRUE(spooled.documents.empty());
}

TEST_F(Printer, FailuresLeaveThePrinterReadyForTheNextDocument) {
    spooled.fail = true;
    printer->BeginDoc();
    EXPECT_EQ(Message(*printer, &app::TPrinter::EndDoc), "spooler down");
    EXPECT_FALSE(printer->Printing());

    spooled.fail = false;
    printer->ProcessEvents = [] { throw EPrinter("handler failed"); };
    printer->BeginDoc();
    EXPECT_EQ(Message(*printer, &app::TPrinter::EndDoc), "handler failed");
    EXPECT_FALSE(printer->Printing());
    EXPECT_TRUE(spooled.documents.empty());

    printer->ProcessEvents = nullptr;
    printer->BeginDoc();
    printer->EndDoc();
    EXPECT_EQ(spooled.documents.size(), 1u);
}

TEST_F(Printer, AbortDiscardsTheDocument) {
    printer->Abort();
    printer->BeginDoc();
    printer->TextOut(0, 0, "dropped");
    printer->Abort();
    EXPECT_FALSE(printer->Printing());
    EXPECT_EQ(Message(*printer, &app::TPrinter::EndDoc), "Printer is not currently printing");
    printer->BeginDoc();
    printer->TextOut(0, 0, "kept");
    printer->EndDoc();
    ASSERT_EQ(spooled.documents.size(), 1u);
    ASSERT_EQ(spooled.documents[0].second.Ops.size(), 1u);
    EXPECT_EQ(spooled.documents[0].second.Ops[0].Text, "kept");
}

}  // namespace
