#include "multimedia/MultimediaTypes.h"

#include "multimedia/Player.h"
#include "multimedia/VideoSurface.h"

#include <QMetaType>
#include <QtQml>

namespace Multimedia {

namespace {
// Touched only by static initialisation and exit, which run on one thread.
int registrations = 0;
} // namespace

MultimediaTypesRegistration::MultimediaTypesRegistration()
{
    if (registrations++ != 0)
        return;
    qRegisterMetaType<Multimedia::Player::State>("Multimedia::Player::State");
    qmlRegisterUncreatableType<Player>("Multimedia", 1, 0, "Player",
                                       QStringLiteral("Can't create Player!"));
    qmlRegisterType<VideoSurface>("Multimedia", 1, 0, "VideoSurface");
}

MultimediaTypesRegistration::~MultimediaTypesRegistration()
{
    --registrations;
}

} // namespace Multimedia
