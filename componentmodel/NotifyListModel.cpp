#include "componentmodel/NotifyListModel.h"

namespace ComponentModel {

NotifyListModel::NotifyListModel(NotifyList* list, QObject* parent) : QAbstractListModel(parent), list_(list)
{
    if (list)
        connect(list, &NotifyList::listChanged, this, &NotifyListModel::listChanged);
}

int NotifyListModel::rowCount(const QModelIndex&) const
{
    return list_ ? list_->count() : 0;
}

QVariant NotifyListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !list_ || index.row() >= list_->count() || role != ObjectRole)
        return {};
    return QVariant::fromValue(list_->at(index.row()).data());
}

Qt::ItemFlags NotifyListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    return QAbstractListModel::flags(index);
}

QHash<int, QByteArray> NotifyListModel::roleNames() const
{
    return {{ObjectRole, QByteArrayLiteral("object")}};
}

void NotifyListModel::listChanged(ComponentModel::ListChangedSignalArgs args)
{
    switch (args.action()) {
    case ListChangedSignalArgs::Add:
        announceInsertedRows(args.newIndex(), args.newItems().count());
        break;
    case ListChangedSignalArgs::Replace:
    case ListChangedSignalArgs::Move:
        announceRemovedRows(args.oldIndex(), args.oldItems().count());
        announceInsertedRows(args.newIndex(), args.newItems().count());
        break;
    case ListChangedSignalArgs::Remove:
        announceRemovedRows(args.oldIndex(), args.oldItems().count());
        break;
    case ListChangedSignalArgs::Swap:
    case ListChangedSignalArgs::Clear:
        beginResetModel();
        endResetModel();
        break;
    default:
        break;
    }
}

// The list has already changed when these run, so each begin is followed at
// once by its end.
void NotifyListModel::announceRemovedRows(int first, int count)
{
    if (count <= 0)
        return;
    beginRemoveRows(QModelIndex(), first, first + count - 1);
    endRemoveRows();
}

void NotifyListModel::announceInsertedRows(int first, int count)
{
    if (count <= 0)
        return;
    beginInsertRows(QModelIndex(), first, first + count - 1);
    endInsertRows();
}

} // namespace ComponentModel
