#pragma once
// One advertisement as the advertisement service hands it to the GUI: its
// id, the link opened on a click, its text and the banner picture (null
// when there is none or it could not be read). A value type, registered
// with Qt's meta-type system as "Feedback::Ad" by the first source file
// including this header, before main runs; counted, never unregistered.

#include "componentmodel/MetaTypes.h"

#include <QMetaType>
#include <QPixmap>
#include <QString>

namespace Feedback {

struct Ad {
    bool valid = false; // true for an advertisement the service produced
    QString id;         // the feed's UTF-8 (Latin-1 when it is not UTF-8)
    QString url;        // likewise
    QString text;       // bounded and cleaned for the user (FeedText.h)
    QPixmap pixmap;
};

void registerAdType();
void unregisterAdType();

namespace {
const ComponentModel::Detail::RegistrationGuard<&registerAdType, &unregisterAdType> adTypeRegistrationGuard;
} // namespace

} // namespace Feedback

Q_DECLARE_METATYPE(Feedback::Ad)
