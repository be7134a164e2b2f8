#include "viewmodel/OutputProfiles.h"

#include "componentmodel/Platform.h"

#include <iterator>

namespace ViewModel {
namespace OutputProfiles {

namespace {

enum { Windows = 0, Mac = 1, IPhone = 2, IPhone4 = 3, IPhone5 = 4, IPad = 5, IPad3 = 6, YouTube = 7, Facebook = 8 };
enum { Low = 0, Medium = 1, High = 2 };

struct Profile {
    const char* extension;
    // A free format's preset family gets "-low", "-medium" or "-high"; a
    // device format's preset is the name itself.
    const char* preset;
    double fixedAspect;  // 0 for a free format
    const char* videoCodec;
    const char* audioCodec;
    int heights[3];  // by quality; a device format has one
};

const Profile profiles[] = {
    {".avi", "windows", 0.0, "MPEG4", "MP3", {480, 720, 1080}},
    {".mp4", "mac", 0.0, "H264", "AAC", {480, 720, 1080}},
    {".m4v", "iphone", 1.5, "H264", "AAC", {320, 320, 320}},
    {".m4v", "iphone4", 1.5, "H264", "AAC", {640, 640, 640}},
    {".m4v", "iphone5", 1.775, "H264", "AAC", {640, 640, 640}},
    {".m4v", "ipad", 4.0 / 3.0, "H264", "AAC", {768, 768, 768}},
    {".m4v", "ipad3", 4.0 / 3.0, "H264", "AAC", {1080, 1080, 1080}},
    {".flv", "tube", 0.0, "H264", "AAC", {360, 480, 720}},
    {".flv", "tube", 0.0, "H264", "AAC", {360, 480, 720}},
};

const Profile* profileOf(int format)
{
    return isKnownFormat(format) ? &profiles[format] : nullptr;
}

} // namespace

int defaultFormat()
{
    return ComponentModel::Platform::isWindows() ? Windows : Mac;
}

bool isKnownFormat(int format)
{
    return format >= 0 && format < int(std::size(profiles));
}

bool isKnownQuality(int quality)
{
    return quality >= Low && quality <= High;
}

QString fileExtension(int format)
{
    const Profile* profile = profileOf(format);
    return profile ? QString::fromLatin1(profile->extension) : QString();
}

QString presetName(int format, int quality)
{
    if (isDeviceFormat(format))
        return QString::fromLatin1(profiles[format].preset);
    const char* family = isKnownFormat(format) ? profiles[format].preset : profiles[Mac].preset;
    const char* level = quality == High ? "-high" : quality == Medium ? "-medium" : "-low";
    return QString::fromLatin1(family) + QLatin1String(level);
}

bool isDeviceFormat(int format)
{
    const Profile* profile = profileOf(format);
    return profile && profile->fixedAspect > 0.0;
}

double effectiveAspect(int format, double userAspect)
{
    return isDeviceFormat(format) ? profiles[format].fixedAspect : userAspect;
}

int effectiveQuality(int format, int userQuality)
{
    return isDeviceFormat(format) ? int(High) : userQuality;
}

HintFacts hintFacts(int format, int userQuality)
{
    const Profile* profile = profileOf(format);
    const int quality = effectiveQuality(format, userQuality);
    if (!profile || !isKnownQuality(quality))
        return HintFacts();
    return HintFacts{QString::fromLatin1(profile->videoCodec), QString::fromLatin1(profile->audioCodec),
                     profile->heights[quality]};
}

} // namespace OutputProfiles
} // namespace ViewModel
