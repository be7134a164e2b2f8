#pragma once
// Base of objects that announce changes of properties without notify signals
// by one signal, propertyChanged, emitted after the change with the object as
// sender, the property's name and its new value. A PropertyBinding recognises
// such objects by their class name "ComponentModel::NotifyObject".

#include "componentmodel/SignalArgs.h"

#include <QObject>

namespace ComponentModel {

class NotifyObject : public QObject {
    Q_OBJECT
public:
    explicit NotifyObject(QObject* parent = nullptr);

signals:
    void propertyChanged(ComponentModel::PropertyChangedSignalArgs args);

protected:
    void notifyPropertyChanged(const QString& propertyName, const QVariant& value);
};

} // namespace ComponentModel
