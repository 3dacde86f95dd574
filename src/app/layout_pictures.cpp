// The layout pictures of the settings dialog (see layout_pictures.h).
#include "app/layout_pictures.h"

#include <QPainter>

namespace pelorin {
namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;

struct Boxes {
    QRect panel2, panel3, panel1;
};

// The three containers inside a picture for a CutPattern.
Boxes Containers(const QString& cut) {
    const QRect all(1, 1, kWidth - 3, kHeight - 3);
    const int strip = 11;  // strip height (side by side) or width (stacked)
    Boxes b;
    if (cut == QLatin1String("Top") || cut == QLatin1String("Bottom")) {
        const bool top = cut == QLatin1String("Top");
        const QRect s = top ? QRect(all.left(), all.top(), all.width(), strip)
                            : QRect(all.left(), all.bottom() - strip + 1, all.width(), strip);
        b.panel1 = top ? QRect(all.left(), s.bottom() + 1, all.width(), all.height() - strip)
                       : QRect(all.left(), all.top(), all.width(), all.height() - strip);
        b.panel2 = QRect(s.left(), s.top(), s.width() / 2, s.height());
        b.panel3 = QRect(b.panel2.right() + 1, s.top(), s.width() - b.panel2.width(), s.height());
    } else {
        const bool left = cut == QLatin1String("Left");
        const int w = strip + 3;
        const QRect s = left ? QRect(all.left(), all.top(), w, all.height())
                             : QRect(all.right() - w + 1, all.top(), w, all.height());
        b.panel1 = left ? QRect(s.right() + 1, all.top(), all.width() - w, all.height())
                        : QRect(all.left(), all.top(), all.width() - w, all.height());
        b.panel2 = QRect(s.left(), s.top(), s.width(), s.height() / 2);
        b.panel3 =
            QRect(s.left(), b.panel2.bottom() + 1, s.width(), s.height() - b.panel2.height());
    }
    return b;
}

QPixmap Paint(const Boxes& boxes, const QColor& c2, const QColor& c3, const QColor& c1) {
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(c2);
    p.drawRect(boxes.panel2);
    p.setBrush(c3);
    p.drawRect(boxes.panel3);
    p.setBrush(c1);
    p.drawRect(boxes.panel1);
    return pixmap;
}

}  // namespace

QColor PaneColour(QChar letter) {
    switch (letter.unicode()) {
        case 'A':
            return QColor(140, 200, 140);
        case 'S':
            return QColor(140, 170, 230);
        case 'T':
            return QColor(240, 225, 150);
        default:
            return QColor(Qt::white);
    }
}

QPixmap PaneSwatch(QChar letter) {
    QPixmap pixmap(10, 10);
    pixmap.fill(PaneColour(letter));
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.drawRect(0, 0, 9, 9);
    return pixmap;
}

QPixmap CutPatternPicture(const QString& pattern) {
    const QColor face(235, 235, 235);
    // The strip's two small panes are drawn a shade darker than the large pane.
    const QColor small(200, 200, 200);
    return Paint(Containers(pattern), small, small, face);
}

QPixmap SetPatternPicture(const QString& pattern) {
    const Boxes boxes = Containers(QStringLiteral("Top"));
    if (pattern.size() != 3)
        return Paint(boxes, Qt::white, Qt::white, Qt::white);
    return Paint(boxes, PaneColour(pattern.at(0)), PaneColour(pattern.at(1)),
                 PaneColour(pattern.at(2)));
}

}  // namespace pelorin
