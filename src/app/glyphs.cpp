// Node icons, button glyphs and the program icon (see glyphs.h). Each picture is painted on a
// 16 x 16 grid (32 x 32 for the program icon) whenever it is asked for; callers keep the icons
// they set, so that no picture outlives the application object.
#include "app/glyphs.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace pelorin {
namespace {

constexpr int kSize = 16;

// A transparent square of `size` pixels with `draw` painted on it (the painter ends before
// the picture is handed out).
template <class Draw>
QPixmap Painted(Draw draw, int size = kSize) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    return pixmap;
}

// A cardboard box: the packet. Open boxes show their flaps.
QPixmap Packet(bool open) {
    return Painted([open](QPainter& p) {
        const QColor body(0xC8, 0x96, 0x5A), edge(0x6E, 0x4A, 0x1E), side(0xA8, 0x76, 0x3C);
        p.setPen(QPen(edge, 1));
        p.setBrush(body);
        p.drawRect(QRectF(2.5, 6.5, 11, 8));
        if (open) {
            p.setBrush(side);
            QPolygonF left(
                {QPointF(2.5, 6.5), QPointF(0.5, 3.5), QPointF(6.5, 3.5), QPointF(7.5, 6.5)});
            QPolygonF right(
                {QPointF(13.5, 6.5), QPointF(15.5, 3.5), QPointF(9.5, 3.5), QPointF(8.5, 6.5)});
            p.drawPolygon(left);
            p.drawPolygon(right);
        } else {
            p.setBrush(side);
            p.drawRect(QRectF(1.5, 3.5, 13, 3));
            p.drawLine(QPointF(8, 3.5), QPointF(8, 6.5));
        }
    });
}

// A sheet with text lines: an area of received messages.
QPixmap Sheet(bool open) {
    return Painted([open](QPainter& p) {
        p.setPen(QPen(QColor(0x30, 0x50, 0x90), 1));
        p.setBrush(open ? QColor(0xFF, 0xF2, 0xA8) : QColor(Qt::white));
        QPainterPath path;
        path.moveTo(3.5, 1.5);
        path.lineTo(10.5, 1.5);
        path.lineTo(13.5, 4.5);
        path.lineTo(13.5, 14.5);
        path.lineTo(3.5, 14.5);
        path.closeSubpath();
        p.drawPath(path);
        p.setPen(QPen(QColor(0x60, 0x78, 0xB0), 1));
        for (int y = 5; y <= 12; y += 2) p.drawLine(QPointF(5.5, y + 0.5), QPointF(11.5, y + 0.5));
        if (open) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x20, 0xA0, 0x40));
            p.drawEllipse(QRectF(9, 9, 6.5, 6.5));
        }
    });
}

// A folder: an area of a folder or note packet.
QPixmap Folder(bool open) {
    return Painted([open](QPainter& p) {
        const QColor edge(0x9A, 0x74, 0x10);
        p.setPen(QPen(edge, 1));
        p.setBrush(QColor(0xF0, 0xC8, 0x50));
        QPainterPath back;
        back.moveTo(1.5, 3.5);
        back.lineTo(6.5, 3.5);
        back.lineTo(8.0, 5.0);
        back.lineTo(14.5, 5.0);
        back.lineTo(14.5, 13.5);
        back.lineTo(1.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        if (open) {
            p.setBrush(QColor(0xFF, 0xE0, 0x80));
            QPolygonF front(
                {QPointF(1.5, 13.5), QPointF(4.0, 7.5), QPointF(15.5, 7.5), QPointF(13.0, 13.5)});
            p.drawPolygon(front);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x20, 0xA0, 0x40));
            p.drawEllipse(QRectF(9, 9, 6.5, 6.5));
        }
    });
}

}  // namespace

QIcon TreeIcon(int index) {
    switch (index) {
        case 0:
        case 1:
            return QIcon(Packet(index == 1));
        case 2:
        case 3:
            return QIcon(Sheet(index == 3));
        case 4:
        case 5:
            return QIcon(Folder(index == 5));
        default:
            return QIcon();
    }
}

// One character in a framed square: the list-order buttons and the message commands that have
// no standard picture.
QIcon LetterGlyph(const QString& letter, const QColor& colour) {
    return QIcon(Painted([letter, colour](QPainter& p) {
        p.setPen(QColor(0x70, 0x70, 0x70));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
        QFont font = p.font();
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, letter);
    }));
}

QIcon ButtonGlyph(std::string_view name) {
    QStyle* style = QApplication::style();
    struct Standard {
        std::string_view name;
        QStyle::StandardPixmap pixmap;
    };
    static constexpr Standard kStandard[] = {
        {"ftbNext", QStyle::SP_ArrowDown},         {"ftbPrev", QStyle::SP_ArrowUp},
        {"ftbNextU", QStyle::SP_MediaSkipForward}, {"ftbPrevHist", QStyle::SP_ArrowBack},
        {"ftbNextHist", QStyle::SP_ArrowForward},  {"ftbNewFolder", QStyle::SP_FileDialogNewFolder},
        {"ftbSave", QStyle::SP_DialogSaveButton},  {"ftbDecode", QStyle::SP_DriveFDIcon},
    };
    for (const Standard& s : kStandard) {
        if (name == s.name)
            return style->standardIcon(s.pixmap);
    }
    struct Letter {
        std::string_view name;
        const char* text;  // UTF-8
    };
    static constexpr Letter kLetters[] = {
        {"ftbDispNone", "無"}, {"ftbDispThread", "ス"}, {"ftbDispSubj", "題"},
        {"ftbDispFrom", "名"}, {"ftbDispDate", "日"},   {"ftbPrint", "印"},
        {"ftbCopy", "写"},     {"ftbFolderCopy", "綴"}, {"ftbMail", "新"},
        {"ftbReply", "返"},    {"ftbFollow", "続"},     {"ftbNews", "投"},
        {"ftbSendMe", "本"},
    };
    for (const Letter& l : kLetters) {
        if (name == l.name)
            return LetterGlyph(QString::fromUtf8(l.text), QColor(0x2A, 0x5C, 0xAA));
    }
    if (name == "ftbOpen")
        return style->standardIcon(QStyle::SP_DialogOpenButton);
    if (name == "ftbClose")
        return TreeIcon(0);
    if (name == "ftbQuit")
        return style->standardIcon(QStyle::SP_DialogCloseButton);
    if (name == "ftbToAreas")
        return TreeIcon(1);
    if (name == "ftbToList")
        return style->standardIcon(QStyle::SP_FileDialogListView);
    return QIcon(Painted([](QPainter& p) {
        p.setPen(QColor(0x40, 0x40, 0x40));
        p.setBrush(QColor(0xE0, 0xE0, 0xE0));
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    }));
}

QIcon ProgramIcon() {
    return QIcon(Painted(
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x2A, 0x5C, 0xAA));
            p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7, 9, 18, 14));
            p.setPen(QPen(QColor(0x2A, 0x5C, 0xAA), 2));
            p.drawPolyline(QPolygonF({QPointF(7, 9), QPointF(16, 17), QPointF(25, 9)}));
        },
        32));
}

}  // namespace pelorin
