// Draws the navigation pane's two image strips: five 48 x 48 images (bitmap134.png, 240 x 48) and
// five 16 x 16 images (bitmap132.png, 80 x 16) on magenta, the colour the image lists make
// transparent. Image order: 0 all-number card, 1 card-number-only card, 2 stack of cards (mass
// production), 3 globe (language), 4 information sign (about).
//
// Usage: DrawNavigationImages <output folder>

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

const QColor kMask(255, 0, 255);
// True while the 16-pixel strip is drawn: fine detail is left out there.
bool g_small = false;

// Every picture is designed on a 48-unit square and scaled to the strip's image size.
using Drawing = std::function<void(QPainter&)>;

void Card(QPainter& p, QRectF r, const QColor& body, bool vendorBlock, bool numberLines) {
    p.setPen(QPen(body.darker(170), 1.6));
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, body.lighter(135));
    fill.setColorAt(1, body);
    p.setBrush(fill);
    p.drawRoundedRect(r, 4, 4);
    p.setPen(Qt::NoPen);
    const qreal unit = r.height() / 10;
    // The chip of a proximity card.
    p.setBrush(QColor(235, 200, 90));
    p.drawRoundedRect(QRectF(r.left() + 2 * unit, r.top() + 2 * unit, 3 * unit, 2.4 * unit), 1, 1);
    if (vendorBlock) {
        p.setBrush(QColor(230, 110, 30));
        p.drawRect(QRectF(r.left() + 2 * unit, r.top() + 6 * unit, 4 * unit, 1.8 * unit));
    }
    if (numberLines) {
        p.setBrush(QColor(30, 40, 70));
        const qreal left = r.left() + (vendorBlock ? 7 : 2) * unit;
        p.drawRect(QRectF(left, r.top() + 6 * unit, r.right() - unit * 2 - left, 1.8 * unit));
    }
}

void AllNumber(QPainter& p) {
    Card(p, QRectF(3, 9, 42, 30), QColor(70, 130, 200), true, true);
}

void CardNumberOnly(QPainter& p) {
    Card(p, QRectF(3, 9, 42, 30), QColor(60, 160, 110), false, true);
}

void MassProduction(QPainter& p) {
    Card(p, QRectF(11, 3, 34, 24), QColor(150, 150, 170), false, false);
    Card(p, QRectF(7, 11, 34, 24), QColor(110, 130, 190), false, false);
    Card(p, QRectF(3, 19, 34, 24), QColor(70, 130, 200), true, true);
}

void Globe(QPainter& p) {
    const QRectF ball(5, 5, 38, 38);
    QRadialGradient sea(QPointF(18, 16), 30);
    sea.setColorAt(0, QColor(120, 190, 245));
    sea.setColorAt(1, QColor(30, 100, 190));
    p.setBrush(sea);
    p.setPen(QPen(QColor(20, 60, 130), 2));
    p.drawEllipse(ball);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(235, 245, 255), g_small ? 3.2 : 1.8));
    p.drawEllipse(QRectF(15, 5, 18, 38));
    p.drawLine(QPointF(5, 24), QPointF(43, 24));
    if (g_small)
        return;
    p.drawLine(QPointF(24, 5), QPointF(24, 43));
    p.drawLine(QPointF(9, 14), QPointF(39, 14));
    p.drawLine(QPointF(9, 34), QPointF(39, 34));
}

void About(QPainter& p) {
    p.setBrush(QColor(40, 120, 210));
    p.setPen(QPen(QColor(20, 60, 130), 2));
    p.drawEllipse(QRectF(5, 5, 38, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(20.5, 10.5, 7, 7));
    p.drawRoundedRect(QRectF(20.5, 20, 7, 18), 2, 2);
}

// Renders with smooth edges, then makes every pixel either solid or magenta so that the mask
// colour never bleeds into the edges.
QImage Strip(int size, const std::vector<Drawing>& drawings) {
    g_small = size < 32;
    QImage art(size * int(drawings.size()), size, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing);
        for (size_t i = 0; i < drawings.size(); ++i) {
            p.save();
            p.translate(qreal(size) * qreal(i), 0);
            p.scale(size / 48.0, size / 48.0);
            drawings[i](p);
            p.restore();
        }
    }
    QImage strip(art.size(), QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QColor c = art.pixelColor(x, y);
            strip.setPixelColor(x, y, c.alpha() >= 128 ? QColor(c.red(), c.green(), c.blue()) : kMask);
        }
    }
    return strip;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const std::vector<Drawing> drawings{AllNumber, CardNumberOnly, MassProduction, Globe, About};
    const bool ok = Strip(48, drawings).save(out.filePath("bitmap134.png")) &&
                    Strip(16, drawings).save(out.filePath("bitmap132.png"));
    if (!ok) {
        std::fprintf(stderr, "cannot write the strips into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
