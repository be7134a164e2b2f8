#pragma once
// The abstract preview player: a three-state machine (stopped, playing,
// paused) that QML reads through `state`. Subclasses decide what play and
// pause do; they change the state only through setState. GUI thread only.

#include <QObject>

namespace Multimedia {

class Player : public QObject {
    Q_OBJECT
    Q_PROPERTY(Multimedia::Player::State state READ state NOTIFY stateChanged)

public:
    enum State { StopState = 0, PlayState = 1, PauseState = 2 };
    Q_ENUM(State)

    explicit Player(QObject* parent = nullptr);

    State state() const { return state_; }

public slots:
    virtual void play() = 0;
    virtual void pause() = 0;

signals:
    void stateChanged(Multimedia::Player::State value);

protected:
    // Stores and announces a new state; the same state again does nothing.
    void setState(State value);

private:
    State state_ = StopState;
};

} // namespace Multimedia

#include "multimedia/MultimediaTypes.h"
