#include "componentmodel/PropertyBinding.h"

#include "componentmodel/SignalBlocker.h"

#include <QMetaMethod>
#include <QMetaProperty>

namespace ComponentModel {

PropertyBinding::PropertyBinding(QObject* target, const QString& targetProperty, QObject* source,
                                 const QString& sourceProperty, Mode mode, PropertyValueConverter* converter,
                                 QObject* parent)
    : QObject(parent), source_(source), target_(target), sourceProperty_(sourceProperty),
      targetProperty_(targetProperty), mode_(mode), converter_(converter)
{
    if (!converter_)
        converter_ = new PropertyValueConverter(this);
    if (!source_ || !target_) {
        qWarning("[PropertyBinding] a binding needs both a source and a target");
        reset();
        return;
    }
    connect(source_, &QObject::destroyed, this, &PropertyBinding::reset);
    connect(target_, &QObject::destroyed, this, &PropertyBinding::reset);
    if (mode_ == TwoWay || mode_ == OneWay) {
        watch(source_, sourceProperty_);
        updateTarget();
    }
    if (mode_ == TwoWay || mode_ == OneWayToSource)
        watch(target_, targetProperty_);
    if (mode_ == OneWayToSource)
        updateSource();
}

PropertyBinding::~PropertyBinding()
{
    reset();
}

void PropertyBinding::watch(QObject* object, const QString& propertyName)
{
    const QMetaObject* meta = object->metaObject();
    const int propertyIndex = meta->indexOfProperty(propertyName.toUtf8().constData());
    if (propertyIndex >= 0) {
        const QMetaProperty property = meta->property(propertyIndex);
        if (property.hasNotifySignal()) {
            const QMetaMethod slot =
                metaObject()->method(metaObject()->indexOfSlot("propertyChanged()"));
            connect(object, property.notifySignal(), this, slot);
            return;
        }
    }
    if (object->inherits("ComponentModel::NotifyObject")) {
        connect(object, SIGNAL(propertyChanged(ComponentModel::PropertyChangedSignalArgs)), this,
                SLOT(propertyChanged(ComponentModel::PropertyChangedSignalArgs)));
    }
}

bool PropertyBinding::updateTarget()
{
    if (mode_ == OneWayToSource || !source_ || !target_)
        return false;
    SignalBlocker blocker(target_);
    QVariant value = source_->property(sourceProperty_.toUtf8().constData());
    if (converter_)
        value = converter_->convert(target_, targetProperty_, value);
    if (!value.isValid())
        return false;
    target_->setProperty(targetProperty_.toUtf8().constData(), value);
    return true;
}

bool PropertyBinding::updateSource()
{
    if ((mode_ != TwoWay && mode_ != OneWayToSource) || !source_ || !target_)
        return false;
    QVariant value = target_->property(targetProperty_.toUtf8().constData());
    if (converter_)
        value = converter_->convertBack(source_, sourceProperty_, value);
    if (!value.isValid())
        return false;
    source_->setProperty(sourceProperty_.toUtf8().constData(), value);
    return true;
}

void PropertyBinding::propertyChanged()
{
    QObject* changed = sender();
    if (!changed)
        return;
    if (changed == source_)
        updateTarget();
    else if (changed == target_)
        updateSource();
}

void PropertyBinding::propertyChanged(ComponentModel::PropertyChangedSignalArgs args)
{
    if (!args.sender())
        return;
    if (args.sender() == source_ && args.propertyName() == sourceProperty_)
        updateTarget();
    else if (args.sender() == target_ && args.propertyName() == targetProperty_)
        updateSource();
}

void PropertyBinding::reset()
{
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    if (target_)
        disconnect(target_, nullptr, this, nullptr);
    source_ = nullptr;
    target_ = nullptr;
    sourceProperty_.clear();
    targetProperty_.clear();
}

} // namespace ComponentModel
