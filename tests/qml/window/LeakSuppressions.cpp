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
