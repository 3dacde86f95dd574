// TTextView: the widget in which a message part is read.
//
// It shows a list of stored Shift_JIS lines, one row per line and never wrapped, and paints them
// itself: body text, quoted text (lines starting with one of `QuotingChars` after any
// indentation) and, in single-font mode, everything in the fixed-pitch font. TABs are expanded
// for drawing; a line starting with `PageBreakChar` (form feed) ends a page. URLs ("http://",
// "https://") and addresses or Message-IDs in angle brackets are underlined in
// `ClickableColor`; the pointer turns into a hand over them and `ClickText` names the item
// under it. Dragging selects text (`SelectedText`), an optional picture is tiled behind the
// text, a horizontal offset shifts the rows left, and `PrintText` prints the whole text with page
// headers.
//
// Paging (the vertical scroll bar): its position is the top line. Every move of the bar goes
// through OnVerticalMove, which lets one step go at most to the previous or next page as
// textview_paging.h computes them; a move down while the end is on screen fires OnEnd instead
// (the main window then shows the next message). `NextPage` moves one page on, or fires OnEnd at
// the end.
//
// Cost: the view converts, measures and scans for clickable items only the lines it paints or
// hit-tests (kept in a small cache); filling it with a long text costs nothing beyond storing
// the lines, and a page move looks at no more lines than two pages hold.
//
// Positions handed out (hit tests, selection, clickable items) count bytes of the stored line;
// their pixel widths follow the drawn text, TABs expanded.
#pragma once

#include "store/strutil.h"

#include "view/textview_layout.h"
#include "view/textview_paging.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPixmap>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QPrinter;

namespace pelorin {

namespace textview {
class DrawnLine;
}

class TTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TTextView(QWidget* parent = nullptr);
    ~TTextView() override;

    // --- Text. The main window clears the view, fills it and then calls SetTopLine(0).
    void ClearText();
    void SetLines(TSList lines);
    void AddLine(std::string line);
    const TSList& Lines() const { return lines_; }

    // Shows the text from line n (clamped into 0..line count).
    void SetTopLine(int n);
    // Moves one page on and returns false; when the end is already on screen (or there are no
    // lines) fires OnEnd instead and returns true. The end stays on screen until another text
    // is shown, so each further call fires OnEnd again.
    bool NextPage();
    // The selected text, lines joined with CR LF (Shift_JIS).
    std::string SelectedText() const;
    // The selection as text with every character (SelectedText gives Shift_JIS, where a
    // character of a UTF-8 line that CP932 cannot hold becomes "〓").
    QString SelectedUnicodeText() const;
    // How the stored lines are read (Shift_JIS unless set; see textview_layout.h). Set it before
    // SetLines when it changes.
    void SetLineCoding(textview::LineCoding coding);
    textview::LineCoding LineCoding() const { return coding_; }
    // Prints every line on `printer` with the page headers; returns the number of pages printed,
    // 0 when the printer could not be started.
    int PrintText(QPrinter& printer);

    // --- Layout state.
    int TopLine() const { return page_.top; }
    int NextPageTop() const { return page_.next_page_top; }
    int PrevPageTop() const { return page_.prev_page_top; }
    bool AtEnd() const { return page_.at_end; }
    int LineHeight() const { return line_height_; }
    int PageLines() const { return page_lines_; }
    int HorzOffset() const { return horz_offset_; }
    // Sets the horizontal offset in pixels, kept between 0 and what the widest line of the page
    // needs to show its end.
    void SetHorzOffset(int pixels);

    // --- The mouse: where a viewport point falls, the selection, the item under the pointer.
    struct Hit {
        textview::TextPos before;   // line and bytes before the character under the point
        textview::TextPos through;  // line and bytes through that character
    };
    Hit HitTest(QPoint point);
    textview::TextPos SelectionStart() const { return sel_start_; }
    textview::TextPos SelectionEnd() const { return sel_end_; }
    const std::string& ClickText() const { return click_text_; }
    // The clickable items of one line (empty for an index outside the text).
    std::vector<textview::Clickable> Clickables(int line) const;

    // --- Settings. Changing one repaints.
    int LineMergine() const { return line_mergine_; }
    void SetLineMergine(int pixels);
    int LeftMergine() const { return left_mergine_; }
    void SetLeftMergine(int pixels);
    int PrintLeftMergine() const { return print_left_mergine_; }
    int PrintTopMergine() const { return print_top_mergine_; }
    int PrintRightMergine() const { return print_right_mergine_; }
    int PrintBottomMergine() const { return print_bottom_mergine_; }
    void SetPrintLeftMergine(int pixels) { print_left_mergine_ = pixels; }
    void SetPrintTopMergine(int pixels) { print_top_mergine_ = pixels; }
    void SetPrintRightMergine(int pixels) { print_right_mergine_ = pixels; }
    void SetPrintBottomMergine(int pixels) { print_bottom_mergine_ = pixels; }
    const QFont& TextFont() const { return text_font_; }
    const QFont& QuoteFont() const { return quote_font_; }
    const QFont& MonoFont() const { return mono_font_; }
    void SetTextFont(const QFont& font);
    void SetQuoteFont(const QFont& font);
    void SetMonoFont(const QFont& font);
    bool SimpleFont() const { return simple_font_; }
    void SetSimpleFont(bool on);
    char PageBreakChar() const { return page_break_char_; }
    void SetPageBreakChar(char c);
    const std::string& QuotingChars() const { return quoting_chars_; }
    void SetQuotingChars(std::string chars);
    int TabCount() const { return tab_count_; }
    // Values outside 1..64 are taken as the nearest of the two.
    void SetTabCount(int count);
    const TSList& PrintLeftHeaders() const { return print_left_headers_; }
    const TSList& PrintRightHeaders() const { return print_right_headers_; }
    void SetPrintLeftHeaders(TSList lines) { print_left_headers_ = std::move(lines); }
    void SetPrintRightHeaders(TSList lines) { print_right_headers_ = std::move(lines); }
    // Colour of quote lines (invalid: the text colour). Not used in single-font mode.
    const QColor& QuoteColor() const { return quote_color_; }
    void SetQuoteColor(const QColor& color);
    const QColor& ClickableColor() const { return clickable_color_; }
    void SetClickableColor(const QColor& color);
    const QPixmap& BackPicture() const { return back_picture_; }
    void SetBackPicture(const QPixmap& picture);
    int ScrollRate() const;
    void SetScrollRate(int lines);

    // The font a line is drawn in.
    const QFont& LineFont(std::string_view line) const;
    bool IsQuoteLine(std::string_view line) const;
    bool IsPageBreakLine(std::string_view line) const;

signals:
    // The end of the text was on screen and the reader asked for more.
    void OnEnd();
    // Keys pressed while the view has the focus. A handler that calls event->accept() keeps
    // the view from acting on the key itself (arrows and page keys move the vertical bar).
    void OnKeyDown(QKeyEvent* event);
    void OnKeyUp(QKeyEvent* event);
    // Mouse events, in viewport coordinates. OnLeftClick and OnRightClick fire when a button is
    // released where it was pressed; ClickText() then names the item clicked (or is empty).
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnLeftClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnRightClick(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    // A left or right click over a clickable item (the item's Shift_JIS bytes), fired just
    // before OnLeftClick / OnRightClick, for handlers that care about items only.
    void OnClickText(const std::string& item, Qt::MouseButton button);
    // The view got or lost the keyboard focus.
    void OnEnter();
    void OnExit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void OnVerticalMove(int position);
    const QFont& MeasuringFont(const QPaintDevice* device) const;
    void UpdateMetrics();
    void Relayout();
    void TextChanged();
    void StyleChanged();
    int TextPageWidth();
    textview::DrawnLine& Drawn(int index);
    std::string ClickableAt(const Hit& hit);
    void UpdatePointer();
    void PaintRow(QPainter& painter, int row);

    TSList lines_;
    textview::LineCoding coding_ = textview::LineCoding::ShiftJis;  // how lines_ are read

    // Settings.
    int line_mergine_ = 2;
    int left_mergine_ = 2;
    int print_left_mergine_ = 20;
    int print_top_mergine_ = 20;
    int print_right_mergine_ = 20;
    int print_bottom_mergine_ = 20;
    QFont text_font_;
    QFont quote_font_;
    QFont mono_font_;
    bool simple_font_ = false;
    char page_break_char_ = '\f';
    std::string quoting_chars_;
    int tab_count_ = 4;
    TSList print_left_headers_;
    TSList print_right_headers_;
    QColor clickable_color_;
    QColor quote_color_;  // invalid: quote lines use the text colour
    QPixmap back_picture_;

    // Layout.
    int line_height_ = 1;
    int page_lines_ = 1;
    textview::PageLayout page_;
    int current_top_ = 0;  // the top last asked for (a page step may still be on its way there)
    int horz_offset_ = 0;
    int widest_ = 0;  // widest row drawn since the last SetTopLine, margins included

    // The mouse.
    textview::TextPos sel_start_;
    textview::TextPos sel_end_;
    bool click_pending_ = false;
    bool dragging_ = false;
    QPoint press_point_;
    std::string click_text_;

    // Lines laid out for painting and hit testing, by index. Emptied whenever the text, a font
    // or a drawing setting changes, and when it grows past kCacheLimit (a reference into it is
    // never kept across another call to Drawn()).
    static constexpr std::size_t kCacheLimit = 1024;
    std::unordered_map<int, std::unique_ptr<textview::DrawnLine>> cache_;
};

}  // namespace pelorin
