#include "componentmodel/SignalBlocker.h"

namespace ComponentModel {

SignalBlocker::SignalBlocker(QObject* object) : object_(object)
{
    if (object_)
        object_->blockSignals(true);
}

SignalBlocker::~SignalBlocker()
{
    if (object_)
        object_->blockSignals(false);
}

} // namespace ComponentModel
