#include "app/status_strip.h"

#include <QPainter>
#include <QStyle>

StatusStrip::StatusStrip(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

void StatusStrip::setText(const QString& text) {
    if (text == m_strText)
        return;
    m_strText = text;
    setToolTip(text);
    update();
}

QSize StatusStrip::sizeHint() const {
    const int frame = 2 * frameWidth();
    return QSize(fontMetrics().averageCharWidth() * 40 + frame, fontMetrics().height() + 4 + frame);
}

QSize StatusStrip::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

void StatusStrip::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(4, 0, -4, 0);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_strText, Qt::ElideRight, area.width()));
}
