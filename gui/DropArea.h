#pragma once
// "DropArea" of the module "Gui": takes files dragged onto it and reports
// each local file (or folder) dropped, in the drag's order; remote
// addresses are passed over. It draws nothing. GUI thread only.

#include <QQuickItem>

namespace Gui {

class DropArea : public QQuickItem {
    Q_OBJECT

public:
    explicit DropArea(QQuickItem* parent = nullptr);

signals:
    void fileDropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    // Qt Quick ignores moves by default, and a drag whose last move was
    // ignored is never dropped: moves carrying a local file are taken too.
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace Gui
