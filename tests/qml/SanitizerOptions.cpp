// Qt Quick's software renderer, which the views' tests draw with, never
// initialises its render control, so a closed QQuickWidget skips the
// clean-up of its scene graph and the textures of its images stay behind
// (tests/lsan.supp names them). Those suppressions match frames deep inside
// Qt, which the fast unwinder does not reach through Qt's libraries: this
// program unwinds fully.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
