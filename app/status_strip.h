#pragma once

#include <QFrame>
#include <QString>

// One line of status under a response box: the HTTP status, time, bytes and authentication
// of the last short post, or the state of the long connection. A text wider than the strip is
// cut with "..." on screen, and its tooltip shows it whole; it never widens the window.
class StatusStrip : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
  public:
    explicit StatusStrip(QWidget* parent = nullptr);

    // The whole text; "" when none.
    QString text() const { return m_strText; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_strText;
};
