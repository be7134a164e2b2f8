#pragma once
// The bottom layer of the slideshow's implementation: the ordered slide list
// under its own lock, and a hook that tells the layers above whenever the
// list changed.
//
// Threads: the GUI thread edits the list while the renderer and its photo
// cache read it on their own threads. slides_mutex is held only while the
// list is read or changed and nothing holding it takes another lock of the
// engine (lock order: settings, render core, slide list). The hook runs
// after the lock is released, on the thread that changed the list, so it may
// call count() and get_slide().
//
// Errors: a bad index logs one error line and throws errors::failure
// "invalid index"; index_of of a slide not in the list throws
// std::runtime_error "slide not found". After any failure the list is as it
// was and the hook has not run.

#include "DTSlideshow.h"

#include <boost/function.hpp>
#include <boost/thread/mutex.hpp>

#include <cstddef>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class common_slideshow_impl : public slideshow::Impl {
public:
    // Makes a new, empty slide for insert_slide.
    typedef boost::function<slide_ptr()> slide_factory_t;

    explicit common_slideshow_impl(slide_factory_t factory);
    ~common_slideshow_impl() override;

    // index <= count(); index == count() appends.
    slide_ptr insert_slide(std::size_t index) override;
    // Both from and to below count(); to counts positions in the list
    // without the moved slide, so moving the first of three to 2 makes it
    // the last.
    void move_slide(std::size_t from, std::size_t to) override;
    void remove_slide(std::size_t index) override;
    slide_ptr get_slide(std::size_t index) override;
    std::size_t count() override;
    // Position of the first entry pointing to the same object.
    std::size_t index_of(slide_ptr slide) const override;
    // Calls the hook even when the list was already empty.
    void clear() override;

protected:
    // Called once after every successful change of the list, unlocked.
    virtual void on_change_timeline() = 0;

private:
    // Logs "<operation's text><index> (slides count: <n>)" and throws.
    [[noreturn]] void fail_index(const char* line_start, std::size_t index) const;

    std::vector<slide_ptr> slides;
    slide_factory_t slide_factory;
    mutable boost::mutex slides_mutex;
};

} // namespace slideshow2
} // namespace kestrel
