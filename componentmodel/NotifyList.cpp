#include "componentmodel/NotifyList.h"

#include <QDebug>

namespace ComponentModel {

NotifyList::NotifyList(QObject* parent) : QObject(parent) {}

QSharedPointer<QObject> NotifyList::at(int index) const
{
    return index >= 0 && index < items_.count() ? items_.at(index) : QSharedPointer<QObject>();
}

QSharedPointer<QObject> NotifyList::operator[](int index)
{
    if (index < 0 || index >= items_.count())
        return {};
    return items_[index];
}

int NotifyList::indexOf(QObject* item, int from) const
{
    for (int i = qMax(from, 0); i < items_.count(); ++i) {
        if (items_.at(i).data() == item)
            return i;
    }
    return -1;
}

int NotifyList::indexOf(const QSharedPointer<QObject>& item, int from) const
{
    return indexOf(item.data(), from);
}

void NotifyList::insert(int index, const QSharedPointer<QObject>& item)
{
    if (index != items_.count() && !isValidIndex(index, "insert"))
        return;
    notifyHook(item);
    items_.insert(index, item);
    emitChange(ListChangedSignalArgs::Add, index, {item}, -1, {});
}

void NotifyList::append(const QSharedPointer<QObject>& item)
{
    notifyHook(item);
    items_.append(item);
    emitChange(ListChangedSignalArgs::Add, items_.count() - 1, {item}, -1, {});
}

void NotifyList::replace(int index, const QSharedPointer<QObject>& item)
{
    if (!isValidIndex(index, "replace"))
        return;
    const QSharedPointer<QObject> old = items_.at(index);
    items_.replace(index, item);
    emitChange(ListChangedSignalArgs::Replace, index, {item}, index, {old});
}

void NotifyList::remove(int index)
{
    if (!isValidIndex(index, "remove"))
        return;
    const QSharedPointer<QObject> old = items_.takeAt(index);
    emitChange(ListChangedSignalArgs::Remove, -1, {}, index, {old});
}

void NotifyList::move(int from, int to)
{
    if (!isValidIndex(from, "move") || !isValidIndex(to, "move"))
        return;
    const QSharedPointer<QObject> item = items_.at(from);
    items_.move(from, to);
    emitChange(ListChangedSignalArgs::Move, to, {item}, from, {item});
}

void NotifyList::swap(int i, int j)
{
    if (!isValidIndex(i, "swap") || !isValidIndex(j, "swap"))
        return;
    items_.swapItemsAt(i, j);
    emitChange(ListChangedSignalArgs::Swap, j, {items_.at(j)}, i, {items_.at(i)});
}

void NotifyList::clear()
{
    if (items_.isEmpty())
        return;
    ObjectList old;
    old.swap(items_);
    emitChange(ListChangedSignalArgs::Clear, -1, {}, -1, old);
}

void NotifyList::notifyHook(const QSharedPointer<QObject>&) {}

bool NotifyList::isValidIndex(int index, const char* operation) const
{
    if (index >= 0 && index < items_.count())
        return true;
    qWarning().nospace() << "[NotifyList] " << operation << ": index " << index << " out of range 0.."
                         << items_.count() - 1;
    return false;
}

void NotifyList::emitChange(ListChangedSignalArgs::Action action, int newIndex, const ObjectList& newItems,
                            int oldIndex, const ObjectList& oldItems)
{
    emit listChanged(ListChangedSignalArgs(this, action, newIndex, newItems, oldIndex, oldItems));
}

} // namespace ComponentModel
