#pragma once
// The fixed tables of the output profiles: what a format (the device or
// service the video is made for) and a quality turn into. Formats and
// qualities are the int values of SettingsViewModel::Format and ::Quality;
// values outside those enums (an edited settings store, a stray QML write)
// are answered too, as the functions below say. Pure functions, any thread.

#include <QString>

namespace ViewModel {
namespace OutputProfiles {

// The format a first run starts with: Windows on Windows, Mac elsewhere.
int defaultFormat();
bool isKnownFormat(int format);
bool isKnownQuality(int quality);

// Extension with its dot; empty for an unknown format.
QString fileExtension(int format);
// The producer's preset. Free formats pick "-high", "-medium" or, for any
// other quality, "-low"; device formats ignore the quality; an unknown
// format takes the Mac names.
QString presetName(int format, int quality);
// Device formats fix both the aspect and the quality (to high).
bool isDeviceFormat(int format);
double effectiveAspect(int format, double userAspect);
int effectiveQuality(int format, int userQuality);

// What the quality hint names: codecs and the frame size before the aspect
// widens it. Empty codec names and height 0 for an unknown format, or a
// free format with an unknown quality.
struct HintFacts {
    QString videoCodec;
    QString audioCodec;
    int frameHeight = 0;
};
HintFacts hintFacts(int format, int userQuality);

} // namespace OutputProfiles
} // namespace ViewModel
