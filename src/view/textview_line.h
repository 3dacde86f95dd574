// One stored line as the text view draws it: TABs expanded, converted to QString (Shift_JIS
// through the CP932 edge, or UTF-8 for a part read through Unicode), laid out once in its font (QTextLayout, one line, no wrapping) with
// its clickable items underlined, and a map from every byte offset of the stored line to the
// drawn text. The view builds these only for lines it paints or hit-tests and keeps them in a
// small cache; printing builds them against the printer.
//
// Positions follow what is drawn: the x of a byte offset is the width of the drawn text before
// it, so on a line with TABs a click on the expanded spaces lands on the TAB byte, and the
// selection highlight covers exactly the selected characters.
//
// Bad input: bytes with no character show as U+FFFD (one per byte, or one per undefined
// double-byte pair); control characters are drawn as spaces.
#pragma once

#include "view/textview_layout.h"

#include <QColor>
#include <QFont>
#include <QTextLayout>

#include <cstddef>
#include <string_view>
#include <vector>

class QPainter;
class QPaintDevice;

namespace pelorin::textview {

// Where an x coordinate falls on a line: the character under it, by the bytes before it and the
// bytes through it, with the drawn widths of both prefixes.
struct LineHit {
    std::size_t before = 0;
    qreal before_x = 0;
    std::size_t through = 0;
    qreal through_x = 0;
};

class DrawnLine {
public:
    // `clickable_color` invalid: no clickable items are looked for (printing).
    DrawnLine(std::string_view line,
              int line_index,
              const QFont& font,
              int tab_count,
              const QColor& clickable_color,
              const QPaintDevice* device,
              LineCoding coding = LineCoding::ShiftJis);
    DrawnLine(const DrawnLine&) = delete;
    DrawnLine& operator=(const DrawnLine&) = delete;

    QString Text() const { return layout_.text(); }
    qreal Width() const;
    const std::vector<Clickable>& Items() const { return items_; }
    std::size_t ByteCount() const { return index_.empty() ? 0 : index_.size() - 1; }

    // Index into Text() of a stored byte offset (clamped to the line).
    int TextIndex(std::size_t bytes) const;
    // Drawn width of the stored bytes before `bytes`.
    qreal X(std::size_t bytes) const;
    // The character under `x`, measured from the text's left edge: the first character whose
    // right edge lies right of x. Left of the text: all zero. Right of the text: both counts
    // are the line length, both widths the line's width.
    LineHit Hit(qreal x) const;

    // Draws the line with its top-left corner at `origin`. Bytes [sel_from, sel_to) are drawn
    // in `highlight_text`, on `highlight_back` when it is valid (the view fills the selected
    // part of the row itself, at the full row height, and passes none).
    void Draw(QPainter* painter,
              QPointF origin,
              std::size_t sel_from = 0,
              std::size_t sel_to = 0,
              const QColor& highlight_back = {},
              const QColor& highlight_text = {}) const;

private:
    QTextLayout layout_;
    std::vector<int> index_;             // Text() index of every stored byte offset 0..size
    std::vector<std::size_t> boundary_;  // character boundaries of the stored line, 0..size
    std::vector<Clickable> items_;
};

}  // namespace pelorin::textview
