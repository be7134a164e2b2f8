#pragma once
// The base of the row and column layouts ("Layout", not created from QML)
// and the attached properties through which any item states its limits to
// the layout that holds it (`Layout.minimumWidth` and the rest).
//
// Relayout is deferred: a change marks the layout and every enclosing
// layout dirty and posts one layout request to the outermost one, which on
// the next turn of the event loop lays out the whole nested tree, inner
// layouts first. GUI thread only.

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqml.h>

namespace Desktop {

class QDeclarativeLayoutAttached;

class QDeclarativeLayout : public QQuickItem {
    Q_OBJECT
    QML_ATTACHED(QDeclarativeLayoutAttached)

public:
    enum SizePolicy { Fixed = 0, Expanding = 1 };
    Q_ENUM(SizePolicy)

    explicit QDeclarativeLayout(QQuickItem* parent = nullptr);

    // Lays out the children; called by the deferred request only.
    virtual void updateLayout();
    // Asks for a relayout on the next turn of the event loop.
    void invalidate();
    bool isDirty() const { return m_dirty; }

    static QDeclarativeLayoutAttached* qmlAttachedProperties(QObject* object);
    // The item's attached object, made when it has none yet.
    static QDeclarativeLayoutAttached* attachedOf(QObject* item);

protected:
    bool event(QEvent* event) override;

private:
    void activateRecursively();

    bool m_dirty = false;
};

class QDeclarativeLayoutAttached : public QObject {
    Q_OBJECT
    Q_PROPERTY(qreal minimumWidth READ minimumWidth WRITE setMinimumWidth)
    Q_PROPERTY(qreal minimumHeight READ minimumHeight WRITE setMinimumHeight)
    Q_PROPERTY(qreal maximumWidth READ maximumWidth WRITE setMaximumWidth)
    Q_PROPERTY(qreal maximumHeight READ maximumHeight WRITE setMaximumHeight)
    Q_PROPERTY(QDeclarativeLayout::SizePolicy verticalSizePolicy READ verticalSizePolicy WRITE setVerticalSizePolicy)
    Q_PROPERTY(QDeclarativeLayout::SizePolicy horizontalSizePolicy READ horizontalSizePolicy WRITE setHorizontalSizePolicy)

public:
    static constexpr qreal unlimited = 1e9;

    explicit QDeclarativeLayoutAttached(QObject* parent = nullptr);

    qreal minimumWidth() const { return m_minimumWidth; }
    void setMinimumWidth(qreal value) { setLimit(m_minimumWidth, value); }
    qreal minimumHeight() const { return m_minimumHeight; }
    void setMinimumHeight(qreal value) { setLimit(m_minimumHeight, value); }
    qreal maximumWidth() const { return m_maximumWidth; }
    void setMaximumWidth(qreal value) { setLimit(m_maximumWidth, value); }
    qreal maximumHeight() const { return m_maximumHeight; }
    void setMaximumHeight(qreal value) { setLimit(m_maximumHeight, value); }
    QDeclarativeLayout::SizePolicy verticalSizePolicy() const { return m_verticalSizePolicy; }
    void setVerticalSizePolicy(QDeclarativeLayout::SizePolicy policy)
    {
        setPolicy(m_verticalSizePolicy, policy);
    }
    QDeclarativeLayout::SizePolicy horizontalSizePolicy() const { return m_horizontalSizePolicy; }
    void setHorizontalSizePolicy(QDeclarativeLayout::SizePolicy policy)
    {
        setPolicy(m_horizontalSizePolicy, policy);
    }

    // The layout that tracks (or last tracked) the item; null until then.
    QDeclarativeLayout* layout() const { return m_layout; }
    void setLayout(QDeclarativeLayout* layout) { m_layout = layout; }

private:
    void setLimit(qreal& stored, qreal value);
    void setPolicy(QDeclarativeLayout::SizePolicy& stored, QDeclarativeLayout::SizePolicy policy);
    void invalidateLayout();

    qreal m_minimumWidth = 0;
    qreal m_minimumHeight = 0;
    qreal m_maximumWidth = unlimited;
    qreal m_maximumHeight = unlimited;
    QDeclarativeLayout::SizePolicy m_verticalSizePolicy = QDeclarativeLayout::Fixed;
    QDeclarativeLayout::SizePolicy m_horizontalSizePolicy = QDeclarativeLayout::Fixed;
    QPointer<QDeclarativeLayout> m_layout;
};

} // namespace Desktop
