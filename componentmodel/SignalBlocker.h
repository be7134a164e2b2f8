#pragma once
// Keeps one object's signals blocked for the blocker's lifetime. The object
// may die first (it is watched, not owned). The object ends unblocked when
// the blocker goes, whatever its state was before.

#include <QObject>
#include <QPointer>

namespace ComponentModel {

class SignalBlocker {
public:
    explicit SignalBlocker(QObject* object);
    virtual ~SignalBlocker();

    SignalBlocker(const SignalBlocker&) = delete;
    SignalBlocker& operator=(const SignalBlocker&) = delete;

private:
    QPointer<QObject> object_;
};

} // namespace ComponentModel
