#pragma once
// Encoders chosen by name at run time. Each queue type has one registry, a
// map from an encoder's short name to a creator; the library's own encoders
// add themselves while the library loads. Names that callers use are
// families such as "kestrel/ffmpeg": the first part must be "kestrel", the
// second picks the registered encoder, further parts are ignored.

#include "base/DTErrors.h"

#include <boost/function.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <memory>
#include <string>

namespace kestrel {

// The short name of a family name, "ffmpeg" for "kestrel/ffmpeg/x"; an
// empty second part stays empty. Split at every "/"; names whose first part
// is not exactly "kestrel" or that have no second part are refused by the
// caller with errors::invalid_operation (false here).
bool encoder_short_name(const std::string& family, std::string& short_name);

template <class Queue, class QueueImpl, class Settings>
class encoder_factory {
public:
    typedef boost::shared_ptr<Settings> settings_ptr;
    typedef boost::function<QueueImpl*(settings_ptr)> creator;
    typedef std::map<std::string, creator> registry_map;

    // The public queue type, constructible from an implementation.
    class concrete_encoder : public Queue {
    public:
        explicit concrete_encoder(QueueImpl* impl) : Queue(impl) {}
    };

    // Made on first use and never freed, so registration from any unit's
    // static initialiser works whatever the order of initialisation.
    static registry_map& registry() {
        static registry_map* map = new registry_map();
        return *map;
    }

    // A name already present keeps its first creator; false then.
    static bool register_encoder(const std::string& name, const creator& make) {
        return registry().insert(std::make_pair(name, make)).second;
    }

    // Empty when nothing is registered under the short name (or the
    // creator made nothing); a creator's exception passes through.
    static boost::shared_ptr<Queue> create(const std::string& short_name,
                                           const settings_ptr& settings) {
        const typename registry_map::const_iterator found = registry().find(short_name);
        if (found == registry().end() || !found->second)
            return boost::shared_ptr<Queue>();
        std::unique_ptr<QueueImpl> impl(found->second(settings));
        if (!impl)
            return boost::shared_ptr<Queue>();
        boost::shared_ptr<Queue> queue = boost::make_shared<concrete_encoder>(impl.get());
        impl.release();
        return queue;
    }
};

// Registers a creator once per process, however many units hold the same
// registration: the first to run inserts, later ones only count.
template <class Factory>
class encoder_registration {
public:
    encoder_registration(unsigned int& counter, const std::string& name,
                         const typename Factory::creator& make) {
        if (counter++ == 0)
            Factory::register_encoder(name, make);
    }
};

} // namespace kestrel
