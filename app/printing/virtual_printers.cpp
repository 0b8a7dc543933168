#include "app/printing/virtual_printers.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

#include "app/printing/document_renderer.h"

namespace app {

namespace {

// One more than the highest NNNNNN.json or NNNNNN.pdf in directory.
int NextNumber(const QDir& directory) {
    static const QRegularExpression numbered(QStringLiteral("^([0-9]{6,})\\.(json|pdf)$"));
    int highest = 0;
    for (const QString& name : directory.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (match.hasMatch()) {
            highest = std::max(highest, match.captured(1).toInt());
        }
    }
    return highest + 1;
}

QByteArray Json(const QString& printer, const TPrintDocument& document) {
    QJsonArray ops;
    for (const TPrintOp& op : document.Ops) {
        ops.append(QJsonObject{{"x", op.X}, {"y", op.Y}, {"size", op.Size}, {"text", op.Text}});
    }
    return QJsonDocument(QJsonObject{{"printer", printer},
                                     {"title", document.Title},
                                     {"dpi", TVirtualPrinters::Dpi},
                                     {"ops", ops}})
        .toJson(QJsonDocument::Indented);
}

QByteArray Pdf(const TPrintDocument& document, const QString& path) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setTitle(document.Title);
    writer.setResolution(TVirtualPrinters::Dpi);
    writer.setPageSize(
        QPageSize(QSizeF(TVirtualPrinters::PageWidth, TVirtualPrinters::PageHeight(document)) /
                      TVirtualPrinters::Dpi,
                  QPageSize::Inch, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) {
        throw EPrinter("Cannot draw " + path.toStdString());
    }
    RenderDocument(painter, document);
    painter.end();
    return pdf;
}

// Readers see the whole file or none: it is written under a temporary name beside it, then
// renamed.
void WriteFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        throw EPrinter("Cannot write " + path.toStdString() + ": " +
                       file.errorString().toStdString());
    }
}

}  // namespace

TVirtualPrinters::TVirtualPrinters(QString directory)
    : FDirectory(std::move(directory)), FNames(List(FDirectory)) {}

std::vector<QString> TVirtualPrinters::List(const QString& directory) {
    const QStringList entries =
        QDir(directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    std::vector<QString> names(entries.begin(), entries.end());
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    return names;
}

int TVirtualPrinters::PageHeight(const TPrintDocument& document) {
    return std::max(Dpi, DocumentHeight(document, Dpi));
}

void TVirtualPrinters::Print(int index, const TPrintDocument& document) {
    if (index < 0 || std::size_t(index) >= FNames.size()) {
        throw EPrinter("Printer index out of range");
    }
    const QString& name = FNames[std::size_t(index)];
    const QDir directory(FDirectory + QLatin1Char('/') + name);
    if (!QFileInfo(directory.path()).isDir()) {
        throw EPrinter("Printer directory " + directory.path().toStdString() + " does not exist");
    }
    const QString base = QStringLiteral("%1").arg(NextNumber(directory), 6, 10, QLatin1Char('0'));
    const QString pdf = directory.filePath(base + ".pdf");
    WriteFile(pdf, Pdf(document, pdf));
    WriteFile(directory.filePath(base + ".json"), Json(name, document));
}

}  // namespace app
