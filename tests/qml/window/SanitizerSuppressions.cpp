// What the sanitizers are told about Qt in this program.
//
// Qt Quick drawn in software never initialises its render control, so a
// closed QQuickWidget leaves its images' textures behind (tests/lsan.supp
// names them where stacks are unwound fully). This program unwinds its
// allocations fast, and those stacks end in the frame that made them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QImageData::create\n"
           "leak:QSGTexture::QSGTexture\n"
           "leak:QPixmap::fromImage\n"
           "leak:libQt6Quick.so\n"
           "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n";
}

// Qt is not built for ThreadSanitizer: its QML engine's loader thread, its
// posted events and its views hand memory over through Qt's own futex-based
// locks, which the race checker cannot see. The memory calls made from
// inside Qt's libraries are left unchecked, and so are the wake-ups of
// GLib's loops under Qt's threads (their descriptors handed over inside
// GLib); the program's own stay checked. The file calls' watch rewrites its
// folders at each start, unsynchronised with a thread that read them in the
// watch before (support/WindowThreadFileCalls.c, to be made atomic there).
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so\n"
           "called_from_lib:libQt6Gui.so\n"
           "called_from_lib:libQt6Qml.so\n"
           "called_from_lib:libQt6Quick.so\n"
           "called_from_lib:libQt6QuickWidgets.so\n"
           "called_from_lib:libQt6Widgets.so\n"
           "race:libglib-2.0.so\n"
           "race:window_file_calls_watch\n";
}
