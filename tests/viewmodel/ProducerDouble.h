#pragma once
// A producer that produces nothing: it keeps the callbacks it is started
// with so the test can play the worker, and records what it is asked
// ("produce", "pause", "resume", "stop", "released"). The record outlives
// the producer.

#include "slideshow2/DTSlideshowProduce.h"

#include <QStringList>

#include <boost/make_shared.hpp>

#include <memory>
#include <string>
#include <vector>

namespace ViewModelTest {

struct ProducerRecord {
    std::string path;
    kestrel::media_settings_ptr settings;
    kestrel::slideshow2::slideshow_produce::progress_callback progress;
    kestrel::slideshow2::slideshow_produce::finished_callback finished;
    QStringList calls;
};

class ProducerDouble : public kestrel::slideshow2::slideshow_produce {
    struct impl : Impl {
        explicit impl(std::shared_ptr<ProducerRecord> record) : record(std::move(record)) {}
        ~impl() override { record->calls << "released"; }
        void start(const progress_callback& progress, const finished_callback& finished) override
        {
            record->progress = progress;
            record->finished = finished;
            record->calls << "produce";
        }
        void pause() override { record->calls << "pause"; }
        void resume() override { record->calls << "resume"; }
        void stop() override { record->calls << "stop"; }
        std::shared_ptr<ProducerRecord> record;
    };

public:
    explicit ProducerDouble(std::shared_ptr<ProducerRecord> record) : slideshow_produce(new impl(std::move(record))) {}
};

// Hands out doubles and keeps the record of each.
struct ProducerDoubles {
    std::vector<std::shared_ptr<ProducerRecord>> made;

    kestrel::slideshow2::slideshow_produce_ptr operator()(const kestrel::slideshow2::slideshow_ptr&,
                                                          const std::string& path,
                                                          const kestrel::media_settings_ptr& settings)
    {
        auto record = std::make_shared<ProducerRecord>();
        record->path = path;
        record->settings = settings;
        made.push_back(record);
        return boost::make_shared<ProducerDouble>(record);
    }
};

} // namespace ViewModelTest
