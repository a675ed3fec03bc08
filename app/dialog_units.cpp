#include "app/dialog_units.h"

#include <QFontMetrics>

QSize DialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits) {
    const QFontMetrics metrics(font);
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QSize(widthUnits * baseX / 4, heightUnits * baseY / 8);
}
