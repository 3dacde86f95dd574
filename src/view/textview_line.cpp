#include "view/textview_line.h"

#include "view/sjis_qt.h"

#include <QPainter>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>

namespace pelorin::textview {
namespace {

// Shift_JIS to text, with the text index of every byte offset (0..size) in `index`. The whole
// string goes through the codec at once; each character counted by CharLength is expected to
// give one UTF-16 unit. The codec pairs bytes only where CharLength does, but it may split a
// pair CharLength accepts (a lead byte before 0x7F): then the counts disagree and the string
// is converted again character by character.
QString ConvertMapped(std::string_view sjis, std::vector<int>& index) {
    index.assign(sjis.size() + 1, 0);
    QString text = ToQString(sjis);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < sjis.size(); i += CharLength(sjis, i)) ++characters;
    if (static_cast<std::size_t>(text.size()) == characters) {
        int q = 0;
        for (std::size_t i = 0; i < sjis.size();) {
            const std::size_t n = CharLength(sjis, i);
            for (std::size_t k = 0; k < n; ++k) index[i + k] = q;
            i += n;
            ++q;
        }
        index[sjis.size()] = q;
    } else {
        text.clear();
        for (std::size_t i = 0; i < sjis.size();) {
            const std::size_t n = CharLength(sjis, i);
            for (std::size_t k = 0; k < n; ++k) index[i + k] = static_cast<int>(text.size());
            text += ToQString(sjis.substr(i, n));
            i += n;
        }
        index[sjis.size()] = static_cast<int>(text.size());
    }
    // A form feed or an escape would show as a box (or as nothing at all, shifting what follows);
    // one space per control character keeps every index where it is.
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
}

// UTF-8 to text, with the text index of every byte offset as above. Each character is converted
// by itself: one outside the Basic Multilingual Plane (an emoji) takes two UTF-16 units, and a
// broken byte gives one U+FFFD.
QString ConvertMappedUtf8(std::string_view utf8, std::vector<int>& index) {
    index.assign(utf8.size() + 1, 0);
    QString text;
    text.reserve(static_cast<qsizetype>(utf8.size()));
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = CharLength(utf8, i, LineCoding::Utf8);
        for (std::size_t k = 0; k < n; ++k) index[i + k] = static_cast<int>(text.size());
        if (n == 1 && static_cast<unsigned char>(utf8[i]) >= 0x80)
            text += QChar(QChar::ReplacementCharacter);
        else
            text += Utf8ToQString(utf8.substr(i, n));
        i += n;
    }
    index[utf8.size()] = static_cast<int>(text.size());
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
}

}  // namespace

DrawnLine::DrawnLine(std::string_view line,
                     int line_index,
                     const QFont& font,
                     int tab_count,
                     const QColor& clickable_color,
                     const QPaintDevice* device,
                     LineCoding coding)
    : layout_(QString(), font, device) {
    const ExpandedLine expanded = ExpandTabsMapped(line, tab_count);
    std::vector<int> expanded_index;
    const QString text = coding == LineCoding::Utf8
                             ? ConvertMappedUtf8(expanded.text, expanded_index)
                             : ConvertMapped(expanded.text, expanded_index);
    index_.resize(line.size() + 1);
    for (std::size_t b = 0; b <= line.size(); ++b) index_[b] = expanded_index[expanded.offset[b]];
    for (std::size_t i = 0; i < line.size(); i += CharLength(line, i, coding))
        boundary_.push_back(i);
    boundary_.push_back(line.size());

    QList<QTextLayout::FormatRange> formats;
    if (clickable_color.isValid()) {
        items_ = ScanClickables(line, line_index, coding);
        for (const Clickable& item : items_) {
            QTextLayout::FormatRange range;
            range.start = TextIndex(item.offset);
            range.length = TextIndex(item.End()) - range.start;
            range.format.setForeground(clickable_color);
            range.format.setFontUnderline(true);
            formats.push_back(range);
        }
    }

    layout_.setText(text);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout_.setTextOption(option);
    layout_.setFormats(formats);
    layout_.setCacheEnabled(true);
    layout_.beginLayout();
    QTextLine row = layout_.createLine();
    if (row.isValid()) {
        row.setLineWidth(1e6);
        row.setPosition(QPointF(0, 0));
    }
    layout_.endLayout();
}

qreal DrawnLine::Width() const {
    return X(ByteCount());
}

int DrawnLine::TextIndex(std::size_t bytes) const {
    return index_[std::min(bytes, ByteCount())];
}

qreal DrawnLine::X(std::size_t bytes) const {
    if (layout_.lineCount() == 0)
        return 0;
    return layout_.lineAt(0).cursorToX(TextIndex(bytes));
}

LineHit DrawnLine::Hit(qreal x) const {
    if (x < 0)
        return {};
    // Widths grow with every character (the text runs left to right), so the first boundary
    // right of x is found by bisection over the character boundaries.
    auto it = std::upper_bound(boundary_.begin() + 1, boundary_.end(), x,
                               [this](qreal px, std::size_t b) { return px < X(b); });
    if (it == boundary_.end()) {
        const qreal width = Width();
        return LineHit{ByteCount(), width, ByteCount(), width};
    }
    const std::size_t through = *it;
    const std::size_t before = *(it - 1);
    return LineHit{before, X(before), through, X(through)};
}

void DrawnLine::Draw(QPainter* painter,
                     QPointF origin,
                     std::size_t sel_from,
                     std::size_t sel_to,
                     const QColor& highlight_back,
                     const QColor& highlight_text) const {
    QList<QTextLayout::FormatRange> selections;
    const int from = TextIndex(sel_from);
    const int to = TextIndex(sel_to);
    if (to > from) {
        QTextLayout::FormatRange range;
        range.start = from;
        range.length = to - from;
        if (highlight_back.isValid())
            range.format.setBackground(highlight_back);
        range.format.setForeground(highlight_text);
        selections.push_back(range);
    }
    layout_.draw(painter, origin, selections);
}

}  // namespace pelorin::textview
