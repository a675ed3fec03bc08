#pragma once

#include <QFont>
#include <QSize>

// Pixels of a size given in dialog units for a font: a horizontal unit is a quarter of the
// font's average character width (over A-Z and a-z), a vertical unit an eighth of its height.
QSize DialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits);
