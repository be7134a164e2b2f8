#pragma once
// An ordered list of shared QObject pointers that announces every change by
// one synchronous signal, listChanged, emitted after the list has changed,
// with the list as sender. The list shares ownership of its items: an item
// whose last shared pointer goes (remove, replace, clear, the list's end) is
// deleted. Destroying the list emits nothing.
// Indexes out of range are refused: a warning is logged, nothing changes and
// nothing is emitted; at() then gives a null pointer. GUI thread only.

#include "componentmodel/SignalArgs.h"

#include <QObject>
#include <QSharedPointer>

namespace ComponentModel {

class NotifyList : public QObject {
    Q_OBJECT
public:
    explicit NotifyList(QObject* parent = nullptr);

    int count() const { return items_.count(); }
    bool isEmpty() const { return items_.isEmpty(); }
    QSharedPointer<QObject> at(int index) const;
    QSharedPointer<QObject> operator[](int index);
    // First index at or after `from` whose item is `item`; -1 when none.
    int indexOf(QObject* item, int from = 0) const;
    int indexOf(const QSharedPointer<QObject>& item, int from = 0) const;

    void insert(int index, const QSharedPointer<QObject>& item);
    void append(const QSharedPointer<QObject>& item);
    void replace(int index, const QSharedPointer<QObject>& item);
    void remove(int index);
    void move(int from, int to);
    void swap(int i, int j);
    void clear();

signals:
    void listChanged(ComponentModel::ListChangedSignalArgs args);

protected:
    // Called with an item about to be inserted or appended, before the list
    // changes; does nothing here.
    virtual void notifyHook(const QSharedPointer<QObject>& item);

private:
    bool isValidIndex(int index, const char* operation) const;
    void emitChange(ListChangedSignalArgs::Action action, int newIndex, const ObjectList& newItems,
                    int oldIndex, const ObjectList& oldItems);

    ObjectList items_;
};

} // namespace ComponentModel
