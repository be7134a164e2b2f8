#pragma once
// The value types carried by the toolkit's change signals. Each names its
// sender first (not owned: the object whose change it describes). They are
// plain copyable values, so they travel through queued connections and
// QVariant once registered (MetaTypes.h). Item lists hold shared pointers:
// an item taken out of a list lives while an argument object still holds it.

#include "componentmodel/MetaTypes.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVariant>

namespace ComponentModel {

using ObjectList = QList<QSharedPointer<QObject>>;

class SignalArgs {
public:
    explicit SignalArgs(QObject* sender = nullptr) : sender_(sender) {}

    QObject* sender() const { return sender_; }
    void setSender(QObject* sender) { sender_ = sender; }

private:
    QObject* sender_;
};

class ListChangedSignalArgs : public SignalArgs {
    Q_GADGET
public:
    enum Action : qint32 { NoAction = 0, Add = 1, Replace = 2, Remove = 3, Move = 4, Swap = 5, Clear = 6 };
    Q_ENUM(Action)

    ListChangedSignalArgs(QObject* sender = nullptr, Action action = NoAction, int newIndex = -1,
                          const ObjectList& newItems = {}, int oldIndex = -1, const ObjectList& oldItems = {})
        : SignalArgs(sender), action_(action), newIndex_(newIndex), oldIndex_(oldIndex),
          newItems_(newItems), oldItems_(oldItems)
    {
    }

    Action action() const { return action_; }
    int newIndex() const { return newIndex_; }
    int oldIndex() const { return oldIndex_; }
    ObjectList newItems() const { return newItems_; }
    ObjectList oldItems() const { return oldItems_; }

private:
    Action action_;
    int newIndex_;
    int oldIndex_;
    ObjectList newItems_;
    ObjectList oldItems_;
};

class PropertyChangedSignalArgs : public SignalArgs {
public:
    PropertyChangedSignalArgs(QObject* sender = nullptr, const QString& propertyName = QString(),
                              const QVariant& value = QVariant())
        : SignalArgs(sender), propertyName_(propertyName), value_(value)
    {
    }

    QString propertyName() const { return propertyName_; }
    QVariant value() const { return value_; }

private:
    QString propertyName_;
    QVariant value_;
};

class SelectionChangedSignalArgs : public SignalArgs {
public:
    SelectionChangedSignalArgs(QObject* sender = nullptr, int newIndex = -1, int oldIndex = -1)
        : SignalArgs(sender), newIndex_(newIndex), oldIndex_(oldIndex)
    {
    }

    int newIndex() const { return newIndex_; }
    int oldIndex() const { return oldIndex_; }

private:
    int newIndex_;
    int oldIndex_;
};

} // namespace ComponentModel

Q_DECLARE_METATYPE(ComponentModel::SignalArgs)
Q_DECLARE_METATYPE(ComponentModel::ListChangedSignalArgs)
Q_DECLARE_METATYPE(ComponentModel::PropertyChangedSignalArgs)
Q_DECLARE_METATYPE(ComponentModel::SelectionChangedSignalArgs)
