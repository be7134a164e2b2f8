#pragma once
// Stand-ins around the view models: a slideshow that keeps the settings maps
// it is given, claims a chosen slide count and plays a given source, a
// usage-event sink that records, and a settings store emptied for each test.

#include "viewmodel/UsageEvents.h"

#include "media/DTMediaSettings.h"
#include "slideshow2/DTSlideshow.h"

#include <QSettings>
#include <QStringList>

#include <boost/function.hpp>
#include <boost/make_shared.hpp>

#include <cstddef>
#include <vector>

namespace ViewModelTest {

class RecordingShow : public kestrel::slideshow2::slideshow::Impl {
public:
    std::vector<kestrel::media_settings_ptr> applied;
    std::size_t slides = 0;
    kestrel::av_source_ptr source;
    boost::function<void(bool)> buffering;

    kestrel::av_source_ptr av_source() override { return source; }
    kestrel::slideshow2::slide_ptr insert_slide(std::size_t) override { return {}; }
    void move_slide(std::size_t, std::size_t) override {}
    void remove_slide(std::size_t) override {}
    kestrel::slideshow2::slide_ptr get_slide(std::size_t) override { return {}; }
    std::size_t count() override { return slides; }
    std::size_t index_of(kestrel::slideshow2::slide_ptr) const override { return 0; }
    void clear() override {}
    void set_audio_track(kestrel::audio_track_ptr) override {}
    void apply_settings(kestrel::media_settings_ptr settings) override { applied.push_back(settings); }
    void set_buffered(bool on) override
    {
        if (buffering)
            buffering(on);
    }
};

// A slideshow over a RecordingShow that the test can still reach.
struct ShowDouble {
    RecordingShow* record = new RecordingShow;
    kestrel::slideshow2::slideshow_ptr show = boost::make_shared<kestrel::slideshow2::slideshow>(record);
};

// Records "category|action|label|value" while it lives.
class UsageEventRecorder {
public:
    UsageEventRecorder()
        : previous_(ViewModel::setUsageEventSink(
              [this](const QString& c, const QString& a, const QString& l, const QString& v) {
                  events << (QStringList{c, a, l, v}).join(QLatin1Char('|'));
              }))
    {
    }
    ~UsageEventRecorder() { ViewModel::setUsageEventSink(previous_); }

    QStringList events;

private:
    ViewModel::UsageEventSink previous_;
};

inline void clearSettingsStore()
{
    QSettings store;
    store.clear();
    store.sync();
}

} // namespace ViewModelTest
