#include "componentmodel/PatientLook.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace ComponentModel {

namespace {

// One look's answer, shared by its thread and whoever waits for it.
struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<QString> text;
};

// The looks not ended: at most one waited for, the others left waiting.
std::atomic<int> unended{0};

std::optional<QString> lookOnAThreadOfItsOwn(const QString&, std::chrono::milliseconds patience,
                                             std::function<QString()> look)
{
    if (unended.fetch_add(1) >= maxLeftWaiting + 1) {
        --unended;
        return std::nullopt;
    }
    auto answer = std::make_shared<Answer>();
    try {
        std::thread([answer, look = std::move(look)] {
            QString text = look();
            {
                const std::lock_guard<std::mutex> lock(answer->mutex);
                answer->text = std::move(text);
            }
            answer->given.notify_all();
            --unended;
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the look is not made rather than made here.
        --unended;
        return std::nullopt;
    }
    std::unique_lock<std::mutex> lock(answer->mutex);
    answer->given.wait_for(lock, patience, [&] { return answer->text.has_value(); });
    return answer->text;
}

LookMaker& currentMaker()
{
    static LookMaker maker;
    return maker;
}

} // namespace

std::optional<QString> lookWithin(const QString& path, std::chrono::milliseconds patience,
                                  std::function<QString()> look)
{
    const LookMaker& maker = currentMaker();
    return maker ? maker(path, patience, std::move(look)) : lookOnAThreadOfItsOwn(path, patience, std::move(look));
}

LookMaker setLookMaker(LookMaker maker) { return std::exchange(currentMaker(), std::move(maker)); }

} // namespace ComponentModel
