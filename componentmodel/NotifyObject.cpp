#include "componentmodel/NotifyObject.h"

namespace ComponentModel {

NotifyObject::NotifyObject(QObject* parent) : QObject(parent) {}

void NotifyObject::notifyPropertyChanged(const QString& propertyName, const QVariant& value)
{
    emit propertyChanged(PropertyChangedSignalArgs(this, propertyName, value));
}

} // namespace ComponentModel
