#include "feedback/Ad.h"

#include <atomic>

namespace Feedback {

namespace {
std::atomic<int> registrations{0};
} // namespace

void registerAdType()
{
    if (registrations.fetch_add(1) == 0)
        QMetaType::fromType<Ad>().id();
}

void unregisterAdType()
{
    registrations.fetch_sub(1);
}

} // namespace Feedback
