#pragma once
// Keeps a property of one object (the target) in step with a property of
// another (the source), both named by text, through a value converter.
// Changes are noticed through the property's notify signal or, without one,
// through the propertyChanged signal of a ComponentModel::NotifyObject; a
// property with neither is copied once, at construction.
// Only the target is silenced while the binding writes to it, which ends the
// echo of a two-way binding after one round. Neither object is owned: when
// either is destroyed the binding detaches itself and does nothing more. A
// caller's converter is not owned either; once it is gone values pass
// unconverted. GUI thread only.

#include "componentmodel/PropertyValueConverter.h"
#include "componentmodel/SignalArgs.h"

#include <QObject>
#include <QPointer>

namespace ComponentModel {

class PropertyBinding : public QObject {
    Q_OBJECT
public:
    enum Mode { TwoWay = 0, OneWay = 1, OneWayToSource = 2 };
    Q_ENUM(Mode)

    // Copies source to target (TwoWay, OneWay) or target to source
    // (OneWayToSource) at once. A null converter means "pass values unchanged".
    PropertyBinding(QObject* target, const QString& targetProperty, QObject* source,
                    const QString& sourceProperty, Mode mode = TwoWay,
                    PropertyValueConverter* converter = nullptr, QObject* parent = nullptr);
    ~PropertyBinding() override;

    // Each returns true when it wrote a value.
    bool updateTarget();
    bool updateSource();

public slots:
    void propertyChanged();
    void propertyChanged(ComponentModel::PropertyChangedSignalArgs args);
    void reset();

private:
    void watch(QObject* object, const QString& propertyName);

    QObject* source_;
    QObject* target_;
    QString sourceProperty_;
    QString targetProperty_;
    Mode mode_;
    QPointer<PropertyValueConverter> converter_;
};

} // namespace ComponentModel
