#pragma once

#include <QWidget>
#include <vector>

// A small bar graph of events per second over the last minute, oldest on the left. Paints
// what it was given; the owner feeds it once a second.
class RateGraph : public QWidget {
    Q_OBJECT
  public:
    explicit RateGraph(QWidget* parent = nullptr);
    // Counts per second, oldest first; an empty list shows "no times" (a log read again).
    void SetCounts(std::vector<int> counts);
    const std::vector<int>& Counts() const { return m_counts; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<int> m_counts;
};
