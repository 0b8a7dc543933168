#include "app/printing/virtual_printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/printing/pdf_tools.h"
#include "tests/app/printing/qt_text.h"
#include "tests/support/raised_message.h"

namespace {

using app::EPrinter;
using app::TPrintDocument;
using app::TVirtualPrinters;
using test_support::RaisedMessage;

class VirtualPrinters : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    QString Path(const QString& name) const { return root.filePath(name); }

    void MakePrinter(const QString& name, const QStringList& files = {}) {
        ASSERT_TRUE(QDir(root.path()).mkpath(name));
        for (const QString& file : files) {
            QFile touched(Path(name + "/" + file));
            ASSERT_TRUE(touched.open(QIODevice::WriteOnly));
        }
    }

    QStringList Files(const QString& printer) const {
        return QDir(Path(printer)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QJsonObject ReadJson(const QString& path) const {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        QJsonParseError error;
        const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return json.object();
    }

    QTemporaryDir root;
};

const TPrintDocument Receipt{"Заказ 5",
                             {{0, 0, 8, "Борщ"}, {300, 0, 8, "120.00"}, {10, 200, 12, "Total"}}};

TEST_F(VirtualPrinters, EverySubdirectoryIsAPrinterInByteOrder) {
    for (const char* name : {"b", "ä", "B", "a"}) {
        MakePrinter(name);
    }
    QFile file(Path("c.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));

    const TVirtualPrinters printers(root.path());
    EXPECT_EQ(printers.PrinterNames(), (std::vector<QString>{"B", "a", "b", "ä"}));
    EXPECT_EQ(printers.DefaultPrinter(), 0);

    const TVirtualPrinters none(Path("missing"));
    EXPECT_TRUE(none.PrinterNames().empty());
    EXPECT_EQ(none.DefaultPrinter(), -1);
}

TEST_F(VirtualPrinters, TheDefaultIsTheFirstPrinter) {
    MakePrinter("kitchen");
    MakePrinter("bar");
    app::TPrinter printer(std::make_unique<TVirtualPrinters>(root.path()));
    printer.BeginDoc();
    printer.TextOut(0, 0, "x");
    printer.EndDoc();
    EXPECT_EQ(Files("bar"), (QStringList{"000001.json", "000001.pdf"}));
    EXPECT_TRUE(Files("kitchen").isEmpty());
}

TEST_F(VirtualPrinters, NumbersFollowTheHighestNumberedFile) {
    const struct {
        QStringList existing;
        QString next;
    } cases[] = {
        {{}, "000001"},
        {{"000007.json", "000003.pdf"}, "000008"},
        {{"000002.pdf", "notes.txt", "12.json", "000050.txt", "0000x9.json", "000060.json.bak"},
         "000003"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString name = QString::number(n++);
        MakePrinter(name, c.existing);
        TVirtualPrinters(root.path()).Print(n - 1, Receipt);
        QStringList expected = c.existing;
        expected << c.next + ".json" << c.next + ".pdf";
        expected.sort();
        EXPECT_EQ(Files(name), expected) << c.next.toStdString();
    }
}

TEST_F(VirtualPrinters, JsonDescribesTheDocumentInDrawingOrder) {
    MakePrinter("kitchen");
    TVirtualPrinters(root.path()).Print(0, Receipt);
    const QJsonObject json = ReadJson(Path("kitchen/000001.json"));

    EXPECT_EQ(json.keys(), (QStringList{"dpi", "ops", "printer", "title"}));
    EXPECT_EQ(json["printer"].toString(), "kitchen");
    EXPECT_EQ(json["title"].toString(), "Заказ 5");
    EXPECT_EQ(json["dpi"].toInt(), 203);
    const QJsonArray ops = json["ops"].toArray();
    ASSERT_EQ(ops.size(), qsizetype(Receipt.Ops.size()));
    for (qsizetype i = 0; i < ops.size(); ++i) {
        const QJsonObject op = ops[i].toObject();
        const app::TPrintOp& expected = Receipt.Ops[std::size_t(i)];
        EXPECT_EQ(op.keys(), (QStringList{"size", "text", "x", "y"}));
        EXPECT_EQ(op["x"].toInt(-1), expected.X);
        EXPECT_EQ(op["y"].toInt(-1), expected.Y);
        EXPECT_EQ(op["size"].toInt(-1), expected.Size);
        EXPECT_EQ(op["text"].toString(), expected.Text);
    }
}

TEST_F(VirtualPrinters, PdfShowsTheTextsInPlace) {
    MakePrinter("kitchen");
    TVirtualPrinters(root.path()).Print(0, Receipt);
    const std::optional<QString> text = test_support::PdfText(Path("kitchen/000001.pdf"));
    if (!text) {
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    }
    // Texts on one y share a line in the layout, in x order; a greater y is a later line.
    QStringList lines;
    for (const QString& line : text->split('\n')) {
        if (!line.trimmed().isEmpty()) {
            lines << line;
        }
    }
    ASSERT_EQ(lines.size(), 2) << text->toStdString();
    EXPECT_TRUE(lines[0].contains(QRegularExpression("Борщ +120\\.00"))) << lines[0].toStdString();
    EXPECT_EQ(lines[1].trimmed(), "Total");
}

TEST_F(VirtualPrinters, PageIsReceiptWideAndAsLongAsItsTexts) {
    MakePrinter("kitchen");
    const TPrintDocument small{"small", {{0, 0, 8, "a"}}};
    const TPrintDocument tall{"tall", {{0, 1000, 8, "a"}, {0, 500, 30, "b"}}};
    const int tallHeight = TVirtualPrinters::PageHeight(tall);
    EXPECT_EQ(TVirtualPrinters::PageHeight(small), TVirtualPrinters::Dpi);
    // 8 points at 203 dpi are about 23 dots; the font's line is a little more.
    EXPECT_GT(tallHeight, 1000 + 23);
    EXPECT_LT(tallHeight, 1000 + 40);

    TVirtualPrinters printers(root.path());
    printers.Print(0, small);
    printers.Print(0, tall);
    const auto smallSize = test_support::PdfPageSize(Path("kitchen/000001.pdf"));
    const auto tallSize = test_support::PdfPageSize(Path("kitchen/000002.pdf"));
    if (!smallSize || !tallSize) {
        GTEST_SKIP() << "pdfinfo is not installed (poppler-utils)";
    }
    const double dotsToPoints = 72.0 / TVirtualPrinters::Dpi;
    EXPECT_NEAR(smallSize->width(), 576 * dotsToPoints, 0.5);
    EXPECT_NEAR(smallSize->height(), 72, 0.5);
    EXPECT_NEAR(tallSize->width(), 576 * dotsToPoints, 0.5);
    EXPECT_NEAR(tallSize->height(), tallHeight * dotsToPoints, 0.5);
}

TEST_F(VirtualPrinters, WriteFailuresNameThePath) {
    MakePrinter("gone");
    MakePrinter("blocked");
    ASSERT_TRUE(QDir(Path("blocked")).mkdir("000001.pdf"));
    TVirtualPrinters printers(root.path());
    ASSERT_TRUE(QDir(Path("gone")).removeRecursively());

    const struct {
        int index;
        QString path;
    } cases[] = {{1, Path("gone")}, {0, Path("blocked/000001.pdf")}};
    for (const auto& c : cases) {
        const std::string message =
            RaisedMessage<EPrinter>([&] { printers.Print(c.index, Receipt); });
        EXPECT_NE(message.find(c.path.toStdString()), std::string::npos) << message;
    }
    EXPECT_EQ(Files("blocked"), QStringList{});
    EXPECT_EQ(RaisedMessage<EPrinter>([&] { printers.Print(2, Receipt); }),
              "Printer index out of range");
}

}  // namespace
