#include "app/rate_graph.h"

#include <QPainter>
#include <algorithm>

RateGraph::RateGraph(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(64);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RateGraph::SetCounts(std::vector<int> counts) {
    if (counts == m_counts)
        return;
    m_counts = std::move(counts);
    update();
}

QSize RateGraph::sizeHint() const {
    return QSize(240, 120);
}

void RateGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect().adjusted(1, 14, -1, -1);
    painter.fillRect(area, palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(palette().text().color());
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    if (m_counts.empty()) {
        painter.drawText(rect().adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                         tr("Events per second: no times in a log read again"));
        return;
    }
    const int peak = std::max(1, *std::max_element(m_counts.begin(), m_counts.end()));
    const int now = m_counts.back();
    painter.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                     tr("Events per second, last minute: now %1, peak %2").arg(now).arg(peak));
    const double width = static_cast<double>(area.width() - 2) / m_counts.size();
    const QColor bar(0x3a, 0x7b, 0xd5);
    for (std::size_t i = 0; i < m_counts.size(); ++i) {
        if (m_counts[i] <= 0)
            continue;
        const int height = std::max(1, (area.height() - 3) * m_counts[i] / peak);
        const QRectF box(area.left() + 1 + i * width, area.bottom() - 1 - height,
                         std::max(1.0, width - 1), height);
        painter.fillRect(box, bar);
    }
}
