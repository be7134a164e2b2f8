// Draws the application's images (tool-bar icons, slide buttons, player
// controls, the photo shadow and the application icon) with QPainter and
// writes them as PNG files into the folder given as the only argument.
// Every picture is drawn twice as large as the views show it, so that it
// stays sharp when Qt scales it down and on high-density screens.
// Run by scripts/draw-images.sh; the PNG files it writes are committed.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const QColor accent(0x1F, 0x7A, 0xD6);     // the blue of the actions
const QColor accentDark(0x14, 0x55, 0x9E);
const QColor ink(0x3A, 0x3F, 0x45);        // strokes on light ground
const QColor paper(0xFB, 0xFB, 0xFB);

using Painter = std::function<void(QPainter&, qreal unit)>;

bool save(const QString& folder, const QString& name, int width, int height, const Painter& paint,
          qreal unit = 1.0)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter, unit);
    painter.end();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

// A framed photo: sky, sun and two hills, the motif of every photo icon.
void drawPhoto(QPainter& p, const QRectF& frame, qreal border)
{
    p.setPen(QPen(QColor(0, 0, 0, 60), border * 0.35));
    p.setBrush(paper);
    p.drawRoundedRect(frame, border * 0.6, border * 0.6);
    const QRectF picture = frame.adjusted(border, border, -border, -border);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(picture.top(), picture.bottom(), QColor(0x8C, 0xC8, 0xF5), QColor(0xD8, 0xEE, 0xFF)));
    p.drawRect(picture);
    p.save();
    p.setClipRect(picture);
    p.setBrush(QColor(0xFF, 0xC9, 0x3C));
    const qreal sun = picture.height() * 0.16;
    p.drawEllipse(QPointF(picture.right() - picture.width() * 0.26, picture.top() + picture.height() * 0.3), sun, sun);
    QPainterPath far;
    far.moveTo(picture.left(), picture.bottom());
    far.lineTo(picture.left(), picture.top() + picture.height() * 0.62);
    far.quadTo(picture.left() + picture.width() * 0.3, picture.top() + picture.height() * 0.28,
               picture.left() + picture.width() * 0.62, picture.top() + picture.height() * 0.7);
    far.lineTo(picture.right(), picture.bottom());
    far.closeSubpath();
    p.setBrush(QColor(0x4E, 0xA8, 0x4A));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(picture.left() + picture.width() * 0.3, picture.bottom());
    near.quadTo(picture.left() + picture.width() * 0.7, picture.top() + picture.height() * 0.42,
                picture.right(), picture.top() + picture.height() * 0.62);
    near.lineTo(picture.right(), picture.bottom());
    near.closeSubpath();
    p.setBrush(QColor(0x2F, 0x85, 0x3A));
    p.drawPath(near);
    p.restore();
}

// A round badge with a white sign drawn by `sign` inside `circle`.
void drawBadge(QPainter& p, const QRectF& circle, const QColor& colour, const std::function<void(QPainter&)>& sign)
{
    p.setPen(QPen(Qt::white, circle.width() * 0.08));
    p.setBrush(vertical(circle.top(), circle.bottom(), colour.lighter(115), colour.darker(110)));
    p.drawEllipse(circle);
    p.save();
    p.setPen(QPen(Qt::white, circle.width() * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    sign(p);
    p.restore();
}

void plusSign(QPainter& p, const QRectF& circle)
{
    const QPointF c = circle.center();
    const qreal arm = circle.width() * 0.24;
    p.drawLine(QPointF(c.x() - arm, c.y()), QPointF(c.x() + arm, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - arm), QPointF(c.x(), c.y() + arm));
}

void crossSign(QPainter& p, const QRectF& area, qreal arm)
{
    const QPointF c = area.center();
    p.drawLine(QPointF(c.x() - arm, c.y() - arm), QPointF(c.x() + arm, c.y() + arm));
    p.drawLine(QPointF(c.x() - arm, c.y() + arm), QPointF(c.x() + arm, c.y() - arm));
}

void drawNote(QPainter& p, qreal s, const QColor& colour)
{
    // Two beamed eighth notes.
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath beam;
    beam.moveTo(0.36 * s, 0.16 * s);
    beam.lineTo(0.84 * s, 0.06 * s);
    beam.lineTo(0.84 * s, 0.18 * s);
    beam.lineTo(0.36 * s, 0.28 * s);
    beam.closeSubpath();
    p.drawPath(beam);
    p.drawRect(QRectF(0.36 * s, 0.2 * s, 0.06 * s, 0.52 * s));
    p.drawRect(QRectF(0.78 * s, 0.1 * s, 0.06 * s, 0.52 * s));
    for (const QPointF& head : {QPointF(0.3 * s, 0.74 * s), QPointF(0.72 * s, 0.64 * s)}) {
        p.save();
        p.translate(head);
        p.rotate(-20);
        p.drawEllipse(QPointF(0, 0), 0.13 * s, 0.095 * s);
        p.restore();
    }
}

void drawGear(QPainter& p, const QPointF& centre, qreal outer, qreal inner, qreal hole, int teeth)
{
    QPainterPath gear;
    const qreal step = 2 * M_PI / teeth;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = i * step;
        const QPointF points[] = {
            centre + QPointF(inner * qCos(a - step * 0.32), inner * qSin(a - step * 0.32)),
            centre + QPointF(outer * qCos(a - step * 0.18), outer * qSin(a - step * 0.18)),
            centre + QPointF(outer * qCos(a + step * 0.18), outer * qSin(a + step * 0.18)),
            centre + QPointF(inner * qCos(a + step * 0.32), inner * qSin(a + step * 0.32)),
        };
        if (i == 0)
            gear.moveTo(points[0]);
        else
            gear.lineTo(points[0]);
        for (int k = 1; k < 4; ++k)
            gear.lineTo(points[k]);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, hole, hole);
    gear.setFillRule(Qt::OddEvenFill);
    p.drawPath(gear);
}

void drawFilmStrip(QPainter& p, const QRectF& strip, qreal unit)
{
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(strip.top(), strip.bottom(), QColor(0x4A, 0x50, 0x58), QColor(0x26, 0x2A, 0x30)));
    p.drawRoundedRect(strip, 3 * unit, 3 * unit);
    p.setBrush(QColor(0xF2, 0xF2, 0xF2));
    const qreal hole = strip.width() / 9.0;
    for (int i = 0; i < 4; ++i) {
        const qreal x = strip.left() + hole * 0.6 + i * hole * 2.2;
        p.drawRoundedRect(QRectF(x, strip.top() + hole * 0.4, hole, hole * 0.8), unit, unit);
        p.drawRoundedRect(QRectF(x, strip.bottom() - hole * 1.2, hole, hole * 0.8), unit, unit);
    }
}

bool drawAll(const QString& out)
{
    bool ok = true;

    // Application icon: a film frame holding a photo, with a play badge.
    ok &= save(out, QStringLiteral("application-icon"), 256, 256, [](QPainter& p, qreal) {
        const qreal s = 256;
        p.setPen(Qt::NoPen);
        p.setBrush(vertical(0.1 * s, 0.9 * s, QColor(0x3B, 0x92, 0xE8), accentDark));
        p.drawRoundedRect(QRectF(0.06 * s, 0.12 * s, 0.88 * s, 0.76 * s), 0.12 * s, 0.12 * s);
        p.setBrush(QColor(255, 255, 255, 220));
        for (int i = 0; i < 6; ++i) {
            const qreal x = 0.14 * s + i * 0.13 * s;
            p.drawRoundedRect(QRectF(x, 0.16 * s, 0.07 * s, 0.06 * s), 4, 4);
            p.drawRoundedRect(QRectF(x, 0.78 * s, 0.07 * s, 0.06 * s), 4, 4);
        }
        drawPhoto(p, QRectF(0.16 * s, 0.27 * s, 0.68 * s, 0.46 * s), 0.03 * s);
        const QRectF badge(0.6 * s, 0.56 * s, 0.34 * s, 0.34 * s);
        drawBadge(p, badge, QColor(0xF5, 0x8A, 0x1F), [&](QPainter& q) {
            QPainterPath play;
            const QPointF c = badge.center();
            const qreal r = badge.width() * 0.2;
            play.moveTo(c.x() - r * 0.7, c.y() - r);
            play.lineTo(c.x() + r * 1.05, c.y());
            play.lineTo(c.x() - r * 0.7, c.y() + r);
            play.closeSubpath();
            q.setPen(Qt::NoPen);
            q.drawPath(play);
        });
    });

    // Tool bar, shown at 32 x 32.
    ok &= save(out, QStringLiteral("add-slides"), 64, 64, [](QPainter& p, qreal) {
        drawPhoto(p, QRectF(10, 10, 44, 34), 3);
        drawPhoto(p, QRectF(4, 18, 44, 34), 3);
        const QRectF badge(34, 34, 28, 28);
        drawBadge(p, badge, QColor(0x2E, 0xA0, 0x43), [&](QPainter& q) { plusSign(q, badge); });
    });
    ok &= save(out, QStringLiteral("change-music"), 64, 64, [](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        p.setBrush(vertical(4, 60, QColor(0xB0, 0x6A, 0xE8), QColor(0x7A, 0x3C, 0xC2)));
        p.drawEllipse(QRectF(4, 4, 56, 56));
        p.translate(12, 13);
        drawNote(p, 38, Qt::white);
    });
    ok &= save(out, QStringLiteral("preview"), 64, 64, [](QPainter& p, qreal) {
        p.setPen(QPen(QColor(0x2B, 0x2F, 0x35), 2));
        p.setBrush(vertical(8, 48, QColor(0x50, 0x56, 0x5E), QColor(0x2B, 0x2F, 0x35)));
        p.drawRoundedRect(QRectF(4, 8, 56, 40), 4, 4);
        drawPhoto(p, QRectF(8, 12, 48, 32), 0.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3A, 0x3F, 0x45));
        p.drawRect(QRectF(28, 48, 8, 6));
        p.drawRoundedRect(QRectF(18, 54, 28, 5), 2, 2);
        const QRectF badge(20, 14, 24, 24);
        p.setBrush(QColor(0, 0, 0, 110));
        p.drawEllipse(badge);
        QPainterPath play;
        play.moveTo(28.5, 19.5);
        play.lineTo(38, 26);
        play.lineTo(28.5, 32.5);
        play.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(play);
    });
    ok &= save(out, QStringLiteral("make"), 64, 64, [](QPainter& p, qreal) {
        drawFilmStrip(p, QRectF(2, 10, 46, 40), 2);
        drawPhoto(p, QRectF(8, 19, 34, 22), 0.5);
        const QRectF badge(30, 30, 32, 32);
        drawBadge(p, badge, QColor(0xF5, 0x8A, 0x1F), [&](QPainter& q) {
            // An arrow down into a tray: the video is written out.
            const QPointF c = badge.center();
            q.drawLine(QPointF(c.x(), c.y() - 8), QPointF(c.x(), c.y() + 4));
            q.drawLine(QPointF(c.x() - 6, c.y() - 2), QPointF(c.x(), c.y() + 4));
            q.drawLine(QPointF(c.x() + 6, c.y() - 2), QPointF(c.x(), c.y() + 4));
            q.drawLine(QPointF(c.x() - 8, c.y() + 9), QPointF(c.x() + 8, c.y() + 9));
        });
    });
    ok &= save(out, QStringLiteral("settings"), 64, 64, [](QPainter& p, qreal) {
        p.setPen(QPen(QColor(0x40, 0x46, 0x4E), 1.5));
        p.setBrush(vertical(4, 60, QColor(0x9C, 0xA4, 0xAE), QColor(0x5E, 0x66, 0x70)));
        drawGear(p, QPointF(32, 32), 28, 21, 8.5, 9);
    });

    // The photo's drop shadow, a 10-pixel border image, and the buttons on it.
    ok &= save(out, QStringLiteral("shadow"), 40, 40, [](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 6; ++i) {
            p.setBrush(QColor(0, 0, 0, 16 + i * 8));
            const qreal inset = i;
            p.drawRoundedRect(QRectF(inset, inset + 1, 40 - 2 * inset, 39 - 2 * inset), 8 - i, 8 - i);
        }
        p.setBrush(QColor(0, 0, 0, 110));
        p.drawRect(QRectF(6, 6, 28, 28));
    });
    ok &= save(out, QStringLiteral("slide-remove"), 46, 46, [](QPainter& p, qreal) {
        const QRectF circle(3, 3, 40, 40);
        drawBadge(p, circle, QColor(0xD9, 0x3B, 0x30), [&](QPainter& q) { crossSign(q, circle, 7.5); });
    });
    ok &= save(out, QStringLiteral("slide-context"), 46, 46, [](QPainter& p, qreal) {
        const QRectF circle(3, 3, 40, 40);
        drawBadge(p, circle, QColor(0x44, 0x4A, 0x52), [&](QPainter& q) {
            q.setPen(Qt::NoPen);
            for (int i = -1; i <= 1; ++i)
                q.drawEllipse(QPointF(23 + i * 9, 23), 3.2, 3.2);
        });
    });
    ok &= save(out, QStringLiteral("slide-add"), 86, 86, [](QPainter& p, qreal) {
        p.setPen(QPen(QColor(255, 255, 255, 230), 5, Qt::DashLine, Qt::RoundCap));
        p.setBrush(QColor(255, 255, 255, 30));
        p.drawRoundedRect(QRectF(4, 4, 78, 78), 14, 14);
        p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(43, 24), QPointF(43, 62));
        p.drawLine(QPointF(24, 43), QPointF(62, 43));
    });

    // The advertisement strip.
    ok &= save(out, QStringLiteral("advertise"), 32, 32, [](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        p.setBrush(vertical(2, 30, QColor(0xFF, 0xB7, 0x3A), QColor(0xE8, 0x85, 0x12)));
        QPainterPath horn;
        horn.moveTo(4, 12);
        horn.lineTo(12, 12);
        horn.lineTo(26, 4);
        horn.lineTo(26, 28);
        horn.lineTo(12, 20);
        horn.lineTo(4, 20);
        horn.closeSubpath();
        p.drawPath(horn);
        p.setBrush(QColor(0xB0, 0x60, 0x0A));
        p.drawRoundedRect(QRectF(9, 20, 5, 9), 2, 2);
    });
    ok &= save(out, QStringLiteral("item-remove"), 32, 32, [](QPainter& p, qreal) {
        p.setPen(QPen(ink, 3.2, Qt::SolidLine, Qt::RoundCap));
        crossSign(p, QRectF(0, 0, 32, 32), 7);
    });

    // The player's controls: white on the dark bar.
    ok &= save(out, QStringLiteral("player-play"), 34, 38, [](QPainter& p, qreal) {
        QPainterPath play;
        play.moveTo(4, 2);
        play.lineTo(32, 19);
        play.lineTo(4, 36);
        play.closeSubpath();
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPath(play);
    });
    ok &= save(out, QStringLiteral("player-pause"), 34, 38, [](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(4, 2, 10, 34), 2, 2);
        p.drawRoundedRect(QRectF(20, 2, 10, 34), 2, 2);
    });
    ok &= save(out, QStringLiteral("player-time-arrow"), 10, 6, [](QPainter& p, qreal) {
        QPainterPath arrow;
        arrow.moveTo(0, 0);
        arrow.lineTo(10, 0);
        arrow.lineTo(5, 6);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    });
    const auto corners = [](QPainter& p, bool inward) {
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        const qreal a = 2.5, b = 9.5, c = 21.5, d = 14.5;
        // Four corner brackets; inward ones point to the middle.
        const qreal in = inward ? 1 : 0;
        for (int corner = 0; corner < 4; ++corner) {
            const bool right = corner & 1;
            const bool bottom = corner & 2;
            const qreal x = right ? c : a, y = bottom ? c : a;
            const qreal x2 = right ? d : b, y2 = bottom ? d : b;
            QPainterPath path;
            if (!in) {
                path.moveTo(x, y2);
                path.lineTo(x, y);
                path.lineTo(x2, y);
            } else {
                path.moveTo(x2, y);
                path.lineTo(x2, y2);
                path.lineTo(x, y2);
            }
            p.drawPath(path);
        }
    };
    ok &= save(out, QStringLiteral("player-fullscreen"), 24, 24, [&](QPainter& p, qreal) { corners(p, false); });
    ok &= save(out, QStringLiteral("player-fullscreen-exit"), 24, 24, [&](QPainter& p, qreal) { corners(p, true); });

    Q_UNUSED(accent);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    return drawAll(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
