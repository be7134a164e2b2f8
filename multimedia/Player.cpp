#include "multimedia/Player.h"

namespace Multimedia {

Player::Player(QObject* parent) : QObject(parent) {}

void Player::setState(State value)
{
    if (value == state_)
        return;
    state_ = value;
    emit stateChanged(value);
}

} // namespace Multimedia
