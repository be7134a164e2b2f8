#pragma once
// Makes the preview player's types known to Qt before main runs: the
// metatype "Multimedia::Player::State" (queued and QML use of stateChanged)
// and the QML module "Multimedia" 1.0 with the uncreatable `Player` (for its
// enumeration) and the item `VideoSurface`. Every file that includes the
// player's declarations holds one counter object; the first one constructed
// registers, the others only count.

namespace Multimedia {

class MultimediaTypesRegistration {
public:
    MultimediaTypesRegistration();
    ~MultimediaTypesRegistration();
    MultimediaTypesRegistration(const MultimediaTypesRegistration&) = delete;
    MultimediaTypesRegistration& operator=(const MultimediaTypesRegistration&) = delete;
};

namespace {
const MultimediaTypesRegistration multimediaTypesRegistration;
} // namespace

} // namespace Multimedia
