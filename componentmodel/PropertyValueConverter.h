#pragma once
// Turns values on their way through a PropertyBinding. convert() maps a
// source value to the value written into the target's property; convertBack()
// maps a target value to the value written into the source's property. An
// invalid QVariant means "write nothing". This base passes values unchanged.

#include "componentmodel/SignalArgs.h"

#include <QObject>
#include <QVariant>

namespace ComponentModel {

class PropertyValueConverter : public QObject {
    Q_OBJECT
public:
    explicit PropertyValueConverter(QObject* parent = nullptr);

    virtual QVariant convert(QObject* object, const QString& propertyName, const QVariant& value);
    virtual QVariant convertBack(QObject* object, const QString& propertyName, const QVariant& value);
};

} // namespace ComponentModel
