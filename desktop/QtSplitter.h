#pragma once
// "Splitter": an item that only carries the attached type through which the
// children of split views state their size limits, share and whether they
// take the remaining space. The split views' QML does the splitting; this
// only stores and announces the values. Every write of a size or of
// `expanding` is announced, even when equal; `itemIndex` only on change.

#include <QObject>
#include <QQuickItem>
#include <QtQml/qqml.h>

namespace Desktop {

class QtSplitterAttached : public QObject {
    Q_OBJECT
    Q_PROPERTY(qreal minimumWidth READ minimumWidth WRITE setMinimumWidth NOTIFY minimumWidthChanged)
    Q_PROPERTY(qreal maximumWidth READ maximumWidth WRITE setMaximumWidth NOTIFY maximumWidthChanged)
    Q_PROPERTY(qreal minimumHeight READ minimumHeight WRITE setMinimumHeight NOTIFY minimumHeightChanged)
    Q_PROPERTY(qreal maximumHeight READ maximumHeight WRITE setMaximumHeight NOTIFY maximumHeightChanged)
    Q_PROPERTY(qreal percentageSize READ percentageSize WRITE setPercentageSize NOTIFY percentageWidthSize)
    Q_PROPERTY(bool expanding READ expanding WRITE setExpanding NOTIFY expandingChanged)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)

public:
    explicit QtSplitterAttached(QObject* parent = nullptr);

    qreal minimumWidth() const { return m_minimumWidth; }
    void setMinimumWidth(qreal value);
    qreal maximumWidth() const { return m_maximumWidth; }
    void setMaximumWidth(qreal value);
    qreal minimumHeight() const { return m_minimumHeight; }
    void setMinimumHeight(qreal value);
    qreal maximumHeight() const { return m_maximumHeight; }
    void setMaximumHeight(qreal value);
    qreal percentageSize() const { return m_percentageSize; }
    void setPercentageSize(qreal value);
    bool expanding() const { return m_expanding; }
    void setExpanding(bool expanding);
    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index);

signals:
    void minimumWidthChanged(qreal minimumWidth);
    void maximumWidthChanged(qreal maximumWidth);
    void minimumHeightChanged(qreal minimumHeight);
    void maximumHeightChanged(qreal maximumHeight);
    void expandingChanged(bool expanding);
    void percentageWidthSize(qreal percentageSize);
    void itemIndexChanged(int itemIndex);

private:
    template <typename T>
    void announce(T& stored, T value, void (QtSplitterAttached::*changed)(T));

    qreal m_minimumWidth = -1;
    qreal m_maximumWidth = -1;
    qreal m_minimumHeight = -1;
    qreal m_maximumHeight = -1;
    qreal m_percentageSize = -1;
    bool m_expanding = false;
    int m_itemIndex = -1;
};

class QtSplitterBase : public QQuickItem {
    Q_OBJECT
    QML_ATTACHED(QtSplitterAttached)

public:
    explicit QtSplitterBase(QQuickItem* parent = nullptr);

    static QtSplitterAttached* qmlAttachedProperties(QObject* object);
};

} // namespace Desktop
