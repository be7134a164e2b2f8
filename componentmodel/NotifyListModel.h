#pragma once
// A one-column list model over a NotifyList for QML views: one row per item,
// the one role "object" (Qt::UserRole + 1) giving the item as a QObject*
// (the list keeps it alive). The model does not own the list and reads as
// empty once the list is gone. Each listChanged becomes row insertions,
// removals or a reset, delivered inside the list's change operation.
// GUI thread only.

#include "componentmodel/NotifyList.h"

#include <QAbstractListModel>
#include <QPointer>

namespace ComponentModel {

class NotifyListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int ObjectRole = Qt::UserRole + 1;

    explicit NotifyListModel(NotifyList* list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void listChanged(ComponentModel::ListChangedSignalArgs args);

private:
    void announceRemovedRows(int first, int count);
    void announceInsertedRows(int first, int count);

    QPointer<NotifyList> list_;
};

} // namespace ComponentModel
