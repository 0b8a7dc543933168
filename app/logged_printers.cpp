#include "app/logged_printers.h"

#include "app/error_log.h"

namespace app {

void TLoggedPrinters::Print(int index, const TPrintDocument& document) {
    FBackend->Print(index, document);
    const std::vector<QString> names = FBackend->PrinterNames();
    const QString name =
        index >= 0 && std::size_t(index) < names.size() ? names[std::size_t(index)] : QString();
    LogLine(FLog, QStringLiteral("printed \"%1\" on %2 (%3 lines of text)")
                      .arg(document.Title, name)
                      .arg(document.Ops.size()));
}

}  // namespace app
