// Renders the desktop widget set's gallery (every control in its normal,
// pressed, checked, disabled and focused states) with the platform's
// default style into a PNG file: desktop_gallery OUT.png

#include "DesktopGallery.h"

#include "gui/GuiDesktopTypes.h"

#include <QApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    // Drawn in software, so that it works offscreen and under Xvfb alike.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication application(argc, argv);
    Gui::GuiDesktopTypes types;

    const Gui::Gallery gallery = Gui::renderDesktopGallery();
    for (const QString& error : gallery.errors)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    if (!gallery.image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d x %d, %lld controls drawn\n", argv[1], gallery.image.width(),
                gallery.image.height(), static_cast<long long>(gallery.cells.size()));
    return gallery.errors.isEmpty() ? 0 : 1;
}
