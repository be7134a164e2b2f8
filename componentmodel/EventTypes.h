#pragma once
// The program's own event types, all in this one table: results of work on
// other threads come back to the GUI thread as events of these types, posted
// through a GuardedReceiver (or, for the end of the preview's sound, by the
// sound callback itself). Nowhere else is a number spelled.
//
// A receiver tells its events apart by type alone, so the kinds that one
// receiver handles must differ; a number may serve two kinds only when no
// receiver handles both. Qt's QEvent::registerEventType() hands out numbers
// from the top of the user range down, far from these.

#include <QEvent>

namespace ComponentModel {
namespace EventTypes {

// The slide view model: its photo opened, or did not.
constexpr QEvent::Type photoOpened = QEvent::Type(1001);

// The convert view model: a conversion's progress, and its end; a naming
// given up, answered late.
constexpr QEvent::Type conversionProgress = QEvent::Type(1001);
constexpr QEvent::Type conversionFinished = QEvent::Type(1002);
constexpr QEvent::Type lateNaming = QEvent::Type(1006);
static_assert(conversionProgress != conversionFinished && lateNaming != conversionProgress &&
                  lateNaming != conversionFinished,
              "the convert view model handles all three");

// The music view model: its music file opened, or did not.
constexpr QEvent::Type musicOpened = QEvent::Type(1002);

// The view models' looks at paths made off the window's thread: one ended.
constexpr QEvent::Type pathLooked = QEvent::Type(1003);

// The notification service: the notification feed was read.
constexpr QEvent::Type notificationFeedRead = QEvent::Type(1004);

// The advertisement service: the advertisement feed's download ended.
constexpr QEvent::Type advertisementFeedEnded = QEvent::Type(1005);

// The audio player, and the video player built on it: the sound ran dry;
// its stream thread did what it was asked, or found the output gone.
constexpr QEvent::Type endOfSound = QEvent::Type(1010);
constexpr QEvent::Type soundStreamStep = QEvent::Type(1011);

// Any receiver of a GuardedReceiver: a call posted to run on its thread
// (the stores of the user's data: what came of one).
constexpr QEvent::Type queuedCall = QEvent::Type(1020);

} // namespace EventTypes
} // namespace ComponentModel
