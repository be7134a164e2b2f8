// Renders the desktop widget set's gallery (every control in its normal,
// pressed, checked, disabled and focused states) with the platform's
// default style into a PNG file: desktop_gallery OUT.png

#include "DesktopGallery.h"

#include "gui/GuiDesktopTypes.h"

#include "CommandLine.h"

#include <QApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>

int main(int argc, char** argv)
{
    // Read before Qt starts: the usage needs no display.
    const command_line::arguments line(
        argc, argv,
        {"desktop_gallery", "OUT.png",
         "Draws every control of the views' desktop widget set, in each of its states, with the platform's\n"
         "default style into the PNG file OUT.png, in software: offscreen (QT_QPA_PLATFORM=offscreen) or on\n"
         "any display. Exit status: 0 drawn, 1 a control could not be drawn or OUT.png not written,\n"
         "64 wrong arguments.\n",
         1, 1});
    if (line.ended())
        return line.exit_status();
    const std::string out = line.at(0);
    // Drawn in software, so that it works offscreen and under Xvfb alike.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication application(argc, argv);
    Gui::GuiDesktopTypes types;

    const Gui::Gallery gallery = Gui::renderDesktopGallery();
    for (const QString& error : gallery.errors)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    if (!gallery.image.save(QString::fromLocal8Bit(out.c_str()), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %lld controls drawn\n", out.c_str(), gallery.image.width(),
                gallery.image.height(), static_cast<long long>(gallery.cells.size()));
    return gallery.errors.isEmpty() ? 0 : 1;
}
