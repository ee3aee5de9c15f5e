#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

class QFontMetrics;

namespace quorvane {

// The dialogs were drawn as templates in dialog units of their template font; these put
// them on screen at the same proportions.

// Turns a rectangle in dialog units into pixels with the dialog font's base units.
QRect DialogUnitsToPixels(const QFontMetrics& metrics, int x, int y, int width, int height);

// Names a control of a dialog and sets it at its template rectangle, in dialog units.
template <typename W>
W* PlaceInDialogUnits(QDialog& dialog, W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(DialogUnitsToPixels(dialog.fontMetrics(), x, y, w, h));
  return widget;
}

// Gives `dialog` its template's sans-serif font at `points`: the family `face` where it is
// installed, otherwise Arial, which finds its metric twin here. Call it before placing
// controls, whose rectangles follow the font.
void UseTemplateFont(QDialog& dialog, int points, const char* face = "Arial");

}  // namespace quorvane
