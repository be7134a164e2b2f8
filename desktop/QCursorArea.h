#pragma once
// An invisible item that shows one of eight mouse cursor shapes over its
// area. Values outside the enumeration are ignored. GUI thread only.

#include <QQuickItem>

namespace Desktop {

class QCursorArea : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(Cursor cursor READ cursor WRITE setCursor NOTIFY cursorChanged)

public:
    enum Cursor {
        ArrowCursor,
        SizeHorCursor,
        SizeVerCursor,
        SizeAllCursor,
        SplitHCursor,
        SplitVCursor,
        WaitCursor,
        PointingHandCursor
    };
    Q_ENUM(Cursor)

    explicit QCursorArea(QQuickItem* parent = nullptr);

    Cursor cursor() const { return m_cursor; }
    void setCursor(Cursor cursor);

signals:
    void cursorChanged();

private:
    Cursor m_cursor = ArrowCursor;
};

} // namespace Desktop
