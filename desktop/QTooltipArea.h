#pragma once
// An invisible item that shows `text` as a native tooltip once the mouse has
// rested on it for one second; leaving the area cancels it. GUI thread only.

#include <QQuickItem>
#include <QTimer>

namespace Desktop {

class QTooltipArea : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(bool containsMouse READ containsMouse NOTIFY containsMouseChanged)

public:
    static constexpr int delayMs = 1000;

    explicit QTooltipArea(QQuickItem* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    bool containsMouse() const { return m_containsMouse; }

public slots:
    void timeout();

signals:
    void textChanged();
    void containsMouseChanged();

protected:
    void hoverEnterEvent(QHoverEvent* event) override;
    void hoverLeaveEvent(QHoverEvent* event) override;

private:
    QString m_text;
    bool m_containsMouse = false;
    QTimer m_timer;
};

} // namespace Desktop
