// Draws Flickstow's toolbar images, small images, backgrounds and logo
// as PNG files, and writes resources.qrc listing them; also the logo at the
// icon theme's sizes (icons/flickstow-N.png) for the desktop menu.
// Usage: drawart <output-directory>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextStream>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

QString g_outDir;
QStringList g_written;

bool render(const QString& name, int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    const bool ok = img.save(QDir(g_outDir).filePath(name), "PNG");
    if (ok) g_written << name;
    else
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
    return ok;
}

QLinearGradient vgrad(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QLinearGradient dgrad(const QRectF& r, const QColor& a, const QColor& b) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

// ---------------------------------------------------------------- primitives

// A horizontal piece of film: dark strip, sprocket holes along both edges,
// `frames` picture frames showing a small sky-and-hill scene.
void film(QPainter& p, const QRectF& r, int frames) {
    const double band = r.height() * 0.22;
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
    p.setBrush(vgrad(r, QColor(0x55, 0x55, 0x5a), QColor(0x1c, 0x1c, 0x20)));
    p.drawRoundedRect(r, 1.5, 1.5);

    // sprocket holes
    const int holes = qMax(3, int(r.width() / (band * 1.7)));
    const double step = r.width() / holes;
    const double hw = step * 0.5, hh = band * 0.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe6, 0xe6, 0xe6));
    for (int i = 0; i < holes; ++i) {
        const double x = r.left() + step * (i + 0.5) - hw / 2;
        p.drawRect(QRectF(x, r.top() + (band - hh) / 2 + 0.3, hw, hh));
        p.drawRect(QRectF(x, r.bottom() - band + (band - hh) / 2 - 0.3, hw, hh));
    }

    // picture frames
    const double gap = qMax(1.0, r.width() * 0.06);
    const QRectF area(r.left() + gap, r.top() + band, r.width() - 2 * gap, r.height() - 2 * band);
    const double fw = (area.width() - gap * (frames - 1)) / frames;
    for (int i = 0; i < frames; ++i) {
        const QRectF f(area.left() + i * (fw + gap), area.top(), fw, area.height());
        p.setBrush(vgrad(f, QColor(0xc8, 0xe8, 0xff), QColor(0x4a, 0x8c, 0xd6)));
        p.drawRect(f);
        QPainterPath hill;
        hill.moveTo(f.bottomLeft());
        hill.quadTo(QPointF(f.left() + f.width() * 0.45, f.top() + f.height() * 0.2),
                    QPointF(f.right(), f.top() + f.height() * 0.7));
        hill.lineTo(f.bottomRight());
        hill.closeSubpath();
        p.setBrush(vgrad(f, QColor(0x8c, 0xd8, 0x6a), QColor(0x2f, 0x85, 0x2a)));
        p.drawPath(hill);
    }
}

// Fills an outlined shape with a gradient running from light to dark.
void badge(QPainter& p, const QPainterPath& shape, const QColor& light, const QColor& dark, const QColor& outline) {
    p.setPen(QPen(outline, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(dgrad(shape.boundingRect(), light, dark));
    p.drawPath(shape);
}

QPainterPath plusShape(QPointF c, double arm, double thick) {
    const double a = arm, t = thick / 2;
    QPolygonF poly{{-t, -a}, {t, -a}, {t, -t}, {a, -t}, {a, t},   {t, t},
                   {t, a},   {-t, a}, {-t, t}, {-a, t}, {-a, -t}, {-t, -t}};
    QPainterPath path;
    path.addPolygon(poly.translated(c));
    path.closeSubpath();
    return path;
}

void greenPlus(QPainter& p, QPointF c, double arm, double thick) {
    badge(p, plusShape(c, arm, thick), QColor(0x9c, 0xf0, 0x8c), QColor(0x1f, 0x96, 0x1f), QColor(0x0f, 0x50, 0x0f));
}

void redCross(QPainter& p, QPointF c, double arm, double thick) {
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotate(45);
    t.translate(-c.x(), -c.y());
    badge(p, t.map(plusShape(c, arm, thick)), QColor(0xff, 0x9a, 0x8a), QColor(0xc0, 0x10, 0x10),
          QColor(0x60, 0x00, 0x00));
}

// A pencil with its point at `tip`, body running towards `end`.
void pencil(QPainter& p, QPointF tip, QPointF end, double wid) {
    const QLineF axis(tip, end);
    const double len = axis.length();
    p.save();
    p.translate(tip);
    p.rotate(-axis.angle());
    const double h = wid / 2, cone = wid * 1.3, eraser = wid * 0.9, ferrule = wid * 0.5;
    const QColor outline(0x4a, 0x36, 0x00);
    p.setPen(QPen(outline, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    QPolygonF wood{QPointF(0, 0), QPointF(cone, -h), QPointF(cone, h)};
    p.setBrush(QColor(0xf2, 0xd2, 0xa0));
    p.drawPolygon(wood);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawPolygon(QPolygonF{QPointF(0, 0), QPointF(cone * 0.4, -h * 0.4), QPointF(cone * 0.4, h * 0.4)});

    p.setPen(QPen(outline, 0.8));
    const QRectF body(cone, -h, len - cone - eraser - ferrule, wid);
    p.setBrush(vgrad(body, QColor(0xff, 0xe8, 0x70), QColor(0xd8, 0x98, 0x00)));
    p.drawRect(body);
    const QRectF band(body.right(), -h, ferrule, wid);
    p.setBrush(vgrad(band, QColor(0xf0, 0xf0, 0xf0), QColor(0x88, 0x88, 0x88)));
    p.drawRect(band);
    const QRectF rub(band.right(), -h, eraser, wid);
    p.setBrush(vgrad(rub, QColor(0xff, 0xb8, 0xc0), QColor(0xd0, 0x60, 0x70)));
    p.drawRoundedRect(rub, wid * 0.25, wid * 0.25);
    p.restore();
}

// A right-pointing green arrow filling `r`.
void arrowRight(QPainter& p, const QRectF& r) {
    const double cy = r.center().y(), shaft = r.height() * 0.22;
    const double headX = r.right() - r.height() * 0.55;
    QPolygonF poly{QPointF(r.left(), cy - shaft), QPointF(headX, cy - shaft), QPointF(headX, r.top()),
                   QPointF(r.right(), cy),        QPointF(headX, r.bottom()), QPointF(headX, cy + shaft),
                   QPointF(r.left(), cy + shaft)};
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    badge(p, path, QColor(0x9c, 0xf0, 0x8c), QColor(0x1f, 0x90, 0x1f), QColor(0x0f, 0x50, 0x0f));
}

// A white sheet of paper with a folded corner and a few lines of text.
void sheet(QPainter& p, const QRectF& r, bool folded = true) {
    const double fold = folded ? r.width() * 0.3 : 0;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(QColor(0x60, 0x60, 0x68), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(dgrad(r, Qt::white, QColor(0xd8, 0xdc, 0xe4)));
    p.drawPath(path);
    if (folded) {
        p.setBrush(QColor(0xc0, 0xc4, 0xcc));
        p.drawPolygon(QPolygonF{QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                                QPointF(r.right(), r.top() + fold)});
    }
    p.setPen(QPen(QColor(0x90, 0xa0, 0xb8), 1));
    const double inset = qMax(1.5, r.width() * 0.18);
    for (double y = r.top() + qMax(fold, 2.0) + 2; y < r.bottom() - 1.5; y += 2)
        p.drawLine(QPointF(r.left() + inset, y), QPointF(r.right() - inset, y));
}

// A printer: paper in the feeder at the back, the body, a printed page in front.
void printer(QPainter& p, double s)  // s = 1 for 32 px, 0.5 for 16 px
{
    p.save();
    p.scale(s, s);
    const double lw = 1 / s;  // keep outlines one device pixel wide
    sheet(p, QRectF(8.5, 2.5, 15, 12), false);
    const QRectF body(1.5, 11.5, 29, 13);
    p.setPen(QPen(QColor(0x3a, 0x3a, 0x40), lw));
    p.setBrush(vgrad(body, QColor(0xf2, 0xf2, 0xf4), QColor(0x8e, 0x92, 0x9a)));
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(QColor(0x40, 0x40, 0x48));
    p.drawRect(QRectF(6.5, 19.5, 19, 2));  // output slot
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xd0, 0x30));
    p.drawEllipse(QPointF(25.5, 15), 1.6, 1.6);  // power light
    p.setPen(QPen(QColor(0x60, 0x60, 0x68), lw));
    p.setBrush(dgrad(QRectF(8.5, 20.5, 15, 10), Qt::white, QColor(0xdc, 0xe0, 0xe8)));
    p.drawRect(QRectF(8.5, 20.5, 15, 10));
    p.setPen(QPen(QColor(0x90, 0xa0, 0xb8), lw * 1.2));
    for (double y = 24; y < 30; y += 2.5) p.drawLine(QPointF(11, y), QPointF(21, y));
    p.restore();
}

// A door frame with the door opened inwards and a green arrow leaving through it.
void exitDoor(QPainter& p, double s) {
    p.save();
    p.scale(s, s);
    const double lw = 1 / s;
    const QRectF frame(3.5, 1.5, 17, 29);
    p.setPen(QPen(QColor(0x3a, 0x22, 0x10), lw));
    p.setBrush(vgrad(frame, QColor(0xb0, 0x78, 0x48), QColor(0x6a, 0x40, 0x20)));
    p.drawRect(frame);
    const QRectF opening = frame.adjusted(2.5, 2.5, -2.5, 0);
    p.setBrush(vgrad(opening, QColor(0x20, 0x24, 0x38), QColor(0x48, 0x50, 0x70)));
    p.drawRect(opening);
    QPolygonF leaf{opening.topLeft(), QPointF(opening.left() + 6.5, opening.top() + 3),
                   QPointF(opening.left() + 6.5, opening.bottom() - 2), opening.bottomLeft()};
    p.setBrush(dgrad(leaf.boundingRect(), QColor(0xe8, 0xb8, 0x78), QColor(0x9a, 0x62, 0x30)));
    p.drawPolygon(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xe0, 0x60));
    p.drawEllipse(QPointF(opening.left() + 5, opening.center().y() + 1), 1, 1.2);  // knob
    arrowRight(p, QRectF(12.5, 11, 19, 12));
    p.restore();
}

void globe(QPainter& p, const QRectF& r) {
    const QPointF c = r.center();
    const double rad = r.width() / 2;
    QRadialGradient g(c - QPointF(rad * 0.4, rad * 0.4), rad * 1.5);
    g.setColorAt(0, QColor(0xc8, 0xec, 0xff));
    g.setColorAt(0.6, QColor(0x3a, 0x8c, 0xe0));
    g.setColorAt(1, QColor(0x14, 0x48, 0x9a));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r);

    p.save();
    QPainterPath clip;
    clip.addEllipse(r);
    p.setClipPath(clip);
    p.setBrush(QColor(0x4c, 0xb0, 0x48, 220));
    p.drawEllipse(QRectF(r.left() + rad * 0.15, r.top() + rad * 0.35, rad * 0.75, rad * 0.6));
    p.drawEllipse(QRectF(r.left() + rad * 1.05, r.top() + rad * 0.9, rad * 0.7, rad * 0.9));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
    p.drawEllipse(QRectF(c.x() - rad * 0.45, r.top(), rad * 0.9, r.height()));
    p.drawLine(QPointF(c.x(), r.top()), QPointF(c.x(), r.bottom()));
    p.drawLine(QPointF(r.left(), c.y()), QPointF(r.right(), c.y()));
    p.drawLine(QPointF(r.left(), c.y() - rad * 0.5), QPointF(r.right(), c.y() - rad * 0.5));
    p.drawLine(QPointF(r.left(), c.y() + rad * 0.5), QPointF(r.right(), c.y() + rad * 0.5));
    p.restore();

    p.setPen(QPen(QColor(0x0e, 0x35, 0x70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r);
}

// A metal film reel: rim, five round cut-outs and a hub.
void reel(QPainter& p, QPointF c, double rad) {
    QRadialGradient g(c - QPointF(rad * 0.35, rad * 0.35), rad * 1.6);
    g.setColorAt(0, QColor(0xfa, 0xfa, 0xfc));
    g.setColorAt(1, QColor(0x70, 0x78, 0x88));
    QPainterPath disc;
    disc.addEllipse(c, rad, rad);
    for (int i = 0; i < 5; ++i) {
        const double a = qDegreesToRadians(-90.0 + i * 72.0);
        disc.addEllipse(c + QPointF(qCos(a), qSin(a)) * rad * 0.55, rad * 0.26, rad * 0.26);
    }
    disc.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(QColor(0x30, 0x34, 0x40), 1));
    p.setBrush(g);
    p.drawPath(disc);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x50, 0x58, 0x68, 160), 0.8));
    p.drawEllipse(c, rad * 0.88, rad * 0.88);
    p.setPen(QPen(QColor(0x30, 0x34, 0x40), 1));
    p.setBrush(QColor(0x40, 0x44, 0x50));
    p.drawEllipse(c, rad * 0.14, rad * 0.14);
}

void sortMark(QPainter& p, bool up) {
    const double top = up ? 5.5 : 10.5, bottom = up ? 10.5 : 5.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x50, 0x50, 0x50));
    p.drawPolygon(QPolygonF{QPointF(4, bottom), QPointF(12, bottom), QPointF(8, top)});
}

// ---------------------------------------------------------------- images

void toolbarImages() {
    render("tb0_new.png", 32, 32, [](QPainter& p) {
        film(p, QRectF(1.5, 3.5, 24, 18), 2);
        greenPlus(p, QPointF(23, 23), 7.5, 5);
    });
    render("tb1_modify.png", 32, 32, [](QPainter& p) {
        film(p, QRectF(1.5, 3.5, 24, 18), 2);
        pencil(p, QPointF(9, 29), QPointF(30, 8), 5.5);
    });
    render("tb2_delete.png", 32, 32, [](QPainter& p) {
        film(p, QRectF(1.5, 3.5, 24, 18), 2);
        redCross(p, QPointF(23, 23), 8, 4.5);
    });
    render("tb3_print.png", 32, 32, [](QPainter& p) { printer(p, 1); });
    render("tb4_exit.png", 32, 32, [](QPainter& p) { exitDoor(p, 1); });
}

void smallImages() {
    render("il0_row.png", 16, 16, [](QPainter& p) { film(p, QRectF(0.5, 2.5, 15, 11), 1); });
    render("il1_sortasc.png", 16, 16, [](QPainter& p) { sortMark(p, true); });
    render("il2_sortdesc.png", 16, 16, [](QPainter& p) { sortMark(p, false); });
    render("il3_exit.png", 16, 16, [](QPainter& p) { exitDoor(p, 0.5); });
    render("il4_new.png", 16, 16, [](QPainter& p) {
        film(p, QRectF(0.5, 1.5, 13, 10), 1);
        greenPlus(p, QPointF(11.5, 11.5), 4, 2.8);
    });
    render("il5_delete.png", 16, 16, [](QPainter& p) {
        film(p, QRectF(0.5, 1.5, 13, 10), 1);
        redCross(p, QPointF(11.5, 11.5), 4.3, 2.6);
    });
    render("il6_modify.png", 16, 16, [](QPainter& p) {
        film(p, QRectF(0.5, 1.5, 13, 10), 1);
        pencil(p, QPointF(4.5, 15), QPointF(15.5, 4), 3.2);
    });
    render("il7_print.png", 16, 16, [](QPainter& p) { printer(p, 0.5); });
    render("il8_web.png", 16, 16, [](QPainter& p) { globe(p, QRectF(1, 1, 14, 14)); });
    render("il9_export.png", 16, 16, [](QPainter& p) {
        sheet(p, QRectF(1.5, 0.5, 10, 14));
        arrowRight(p, QRectF(5.5, 7.5, 10, 8));
    });
}

void coolbar() {
    render("coolbar.png", 256, 61, [](QPainter& p) {
        const QRectF r(0, 0, 256, 61);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(0xf0, 0xf3, 0xf7));
        g.setColorAt(0.45, QColor(0xdc, 0xe3, 0xec));
        g.setColorAt(1, QColor(0xc4, 0xcf, 0xdc));
        p.fillRect(r, g);
        // faint brushed texture: each row a little lighter or darker, plus fine grain
        QRandomGenerator rng(1958);
        p.setRenderHint(QPainter::Antialiasing, false);
        auto tint = [](int v, int alpha) { return v > 0 ? QColor(255, 255, 255, alpha) : QColor(40, 60, 90, alpha); };
        for (int y = 1; y < 60; ++y) {
            const int row = rng.bounded(-4, 5);
            p.fillRect(0, y, 256, 1, tint(row, qAbs(row) * 2));
            for (int x = 0; x < 256; x += 1 + rng.bounded(6)) {
                if (const int v = rng.bounded(-1, 2)) p.fillRect(x, y, 1 + rng.bounded(3), 1, tint(v, 8));
            }
        }
        p.fillRect(0, 0, 256, 1, QColor(255, 255, 255));
        p.fillRect(0, 60, 256, 1, QColor(0x98, 0xa6, 0xb8));
    });
}

// A muted film strip; every element repeats with a period dividing 56 x 48,
// so the image tiles seamlessly in both directions.
void texture() {
    render("texture.png", 56, 48, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(0, 0, 56, 48, QColor(0x5c, 0x6b, 0x80));
        p.fillRect(0, 2, 56, 1, QColor(0x66, 0x76, 0x8c));
        p.fillRect(0, 45, 56, 1, QColor(0x52, 0x60, 0x74));
        p.fillRect(0, 6, 56, 36, QColor(0x3c, 0x46, 0x56));
        p.fillRect(0, 6, 56, 1, QColor(0x4a, 0x56, 0x68));
        p.fillRect(0, 41, 56, 1, QColor(0x32, 0x3a, 0x48));
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x84, 0x93, 0xa8));
        for (int x = 2; x < 56; x += 8) {
            p.drawRoundedRect(QRectF(x, 9, 4, 3.5), 1, 1);
            p.drawRoundedRect(QRectF(x, 35.5, 4, 3.5), 1, 1);
        }
        for (int x = 2; x < 56; x += 28) {
            const QRectF f(x, 15, 24, 18);
            p.setPen(QPen(QColor(0x8e, 0x9e, 0xb4), 1));
            p.setBrush(vgrad(f, QColor(0x7c, 0x8d, 0xa4), QColor(0x60, 0x70, 0x87)));
            p.drawRect(f.adjusted(0.5, 0.5, -0.5, -0.5));
        }
    });
}

// The program's orange badge with a white "F" filling the square b; the
// letter's bars are laid out in proportion to the square.
void badge(QPainter& p, const QRectF& b, qreal penWidth, qreal radius) {
    p.setPen(QPen(QColor(0x70, 0x10, 0x08), penWidth));
    p.setBrush(dgrad(b, QColor(0xff, 0x8a, 0x50), QColor(0xc0, 0x20, 0x10)));
    p.drawRoundedRect(b, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const auto bar = [&](qreal x, qreal y, qreal w, qreal h) {
        p.drawRect(QRectF(b.x() + x * b.width(), b.y() + y * b.height(), w * b.width(), h * b.height()));
    };
    bar(0.28, 0.2, 0.176, 0.64);  // stem
    bar(0.28, 0.2, 0.52, 0.16);   // top bar
    bar(0.28, 0.48, 0.4, 0.144);  // middle bar
}

// The program's logo on a 32 x 32 grid: a film reel with an "F" badge.
void drawLogo(QPainter& p) {
    reel(p, QPointF(13.5, 13.5), 12.5);
    badge(p, QRectF(18.5, 18.5, 12.5, 12.5), 1, 2.5);
}

void logo() { render("logo.png", 32, 32, drawLogo); }

// The desktop menu's icon: the logo drawn again at each size of the icon
// theme, not scaled from the 32 px picture, so large sizes stay sharp. These
// are installed into the user's icon theme, not built into the program, so
// they stay out of resources.qrc.
const int kIconSizes[] = {16, 32, 48, 64, 128, 256};

bool icons() {
    bool ok = QDir(g_outDir).mkpath("icons");
    for (const int size : kIconSizes) {
        const QString name = QString("icons/flickstow-%1.png").arg(size);
        ok = render(name, size, size,
                    [size](QPainter& p) {
                        p.scale(size / 32.0, size / 32.0);
                        drawLogo(p);
                    }) &&
             ok;
        g_written.removeOne(name);
    }
    return ok;
}

// The About box's logo, 73 x 81, shown on a black panel: a large reel with
// a strip of film running off it, and the program's orange "F" badge.
void aboutLogo() {
    render("about_logo.png", 73, 81, [](QPainter& p) {
        // film running from the reel down to the right edge
        p.save();
        p.translate(44, 58);
        p.rotate(-28);
        film(p, QRectF(-22, -8, 44, 16), 2);
        p.restore();
        reel(p, QPointF(32, 30), 27);
        badge(p, QRectF(5.5, 50.5, 27, 27), 1.2, 5);
    });
}

// The picture beside the About box's note on how the program was made, 41 x 33:
// a page of notes on a clipboard with a pencil across it.
void aboutNote() {
    render("about_note.png", 41, 33, [](QPainter& p) {
        const QRectF board(6.5, 1.5, 24, 30);
        p.setPen(QPen(QColor(0x5a, 0x3a, 0x18), 1));
        p.setBrush(vgrad(board, QColor(0xc8, 0x90, 0x50), QColor(0x8a, 0x58, 0x28)));
        p.drawRoundedRect(board, 2, 2);
        sheet(p, QRectF(9.5, 5.5, 18, 24), false);
        p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
        p.setBrush(vgrad(QRectF(13, 0.5, 11, 5), QColor(0xf0, 0xf0, 0xf0), QColor(0x80, 0x80, 0x88)));
        p.drawRoundedRect(QRectF(13.5, 0.5, 10, 5), 1.5, 1.5);
        pencil(p, QPointF(22, 27), QPointF(40, 9), 5);
    });
}

bool writeQrc() {
    QFile f(QDir(g_outDir).filePath("resources.qrc"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) return false;
    QTextStream out(&f);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/\">\n";
    for (const QString& name : g_written) out << "        <file>" << name << "</file>\n";
    out << "    </qresource>\n</RCC>\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-directory>\n", argv[0]);
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_outDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    toolbarImages();
    smallImages();
    coolbar();
    texture();
    logo();
    aboutLogo();
    aboutNote();
    const bool iconsWritten = icons();
    if (g_written.size() != 20 || !iconsWritten || !writeQrc()) {
        std::fprintf(stderr, "some files could not be written\n");
        return 1;
    }
    return 0;
}
