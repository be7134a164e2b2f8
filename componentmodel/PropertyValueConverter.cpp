#include "componentmodel/PropertyValueConverter.h"

namespace ComponentModel {

PropertyValueConverter::PropertyValueConverter(QObject* parent) : QObject(parent) {}

QVariant PropertyValueConverter::convert(QObject*, const QString&, const QVariant& value)
{
    return value;
}

QVariant PropertyValueConverter::convertBack(QObject*, const QString&, const QVariant& value)
{
    return value;
}

} // namespace ComponentModel
