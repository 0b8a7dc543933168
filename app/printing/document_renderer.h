#pragma once

#include <QFont>
#include <QPainter>

#include "app/printing/printer.h"

namespace app {

// The font documents are printed in, at a size in points; the family has Cyrillic.
QFont PrintFont(int points);

// Draws the document's texts on the painter's device, sizes converted with the device's vertical
// resolution, each text's top-left corner at its op's device coordinates.
void RenderDocument(QPainter& painter, const TPrintDocument& document);

// How far down the document's texts reach, in device units at dpi; 0 for no texts.
int DocumentHeight(const TPrintDocument& document, int dpi);

}  // namespace app
