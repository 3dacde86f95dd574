#include "view/textview.h"

#include "coding/charset.h"
#include "coding/cp932.h"

#include "view/sjis_qt.h"
#include "view/textview_line.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <exception>

namespace pelorin {

using textview::Clickable;
using textview::DrawnLine;
using textview::TextPos;

namespace {

// Row height for a font on a device: 1.1 times the height of its text, plus the line spacing.
int RowHeight(const QFont& font, const QPaintDevice* device, int line_mergine) {
    const QFontMetrics metrics(font, device);
    return std::max(1, static_cast<int>(1.1 * metrics.height()) + line_mergine);
}

// The font of the two whose text is taller on `device` (the first on a tie).
const QFont& Taller(const QFont& first, const QFont& second, const QPaintDevice* device) {
    return QFontMetrics(second, device).height() > QFontMetrics(first, device).height() ? second
                                                                                        : first;
}

// A screen font for the printer. Sizes in points print at their size anyway; a size in pixels
// means screen pixels, so it is scaled to the printer's resolution (else a 14-pixel font
// would print a few tenths of a millimetre high).
QFont ForPrinter(const QFont& font, const QPaintDevice* screen, const QPaintDevice* printer) {
    if (font.pixelSize() <= 0)
        return font;
    QFont scaled = font;
    scaled.setPixelSize(std::max(
        1, font.pixelSize() * printer->logicalDpiY() / std::max(1, screen->logicalDpiY())));
    return scaled;
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

TTextView::TTextView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , text_font_(font())
    , quote_font_(font())
    , mono_font_(font())
    , quoting_chars_(Sjis(">＞"))
    , clickable_color_(palette().color(QPalette::Text)) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The horizontal bar stays hidden; its position is the horizontal offset, which the main
    // window moves with keys (and a sideways wheel moves through the bar).
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(8);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TTextView::OnVerticalMove);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &TTextView::SetHorzOffset);
    UpdateMetrics();
    Relayout();
}

TTextView::~TTextView() = default;

// --- Text -------------------------------------------------------------------------------------

void TTextView::ClearText() {
    lines_.clear();
    TextChanged();
    horz_offset_ = 0;
    SetTopLine(0);
}

void TTextView::SetLines(TSList lines) {
    lines_ = std::move(lines);
    TextChanged();
    Relayout();
    viewport()->update();
}

void TTextView::AddLine(std::string line) {
    lines_.push_back(std::move(line));
    Relayout();
    viewport()->update();
}

void TTextView::TextChanged() {
    cache_.clear();
    sel_start_ = sel_end_ = TextPos{};
    click_text_.clear();
    UpdatePointer();
}

void TTextView::SetTopLine(int n) {
    const int count = static_cast<int>(lines_.size());
    n = std::clamp(n, 0, count);
    widest_ = 0;
    {
        QSignalBlocker block(horizontalScrollBar());
        horizontalScrollBar()->setRange(0, horz_offset_);
        horizontalScrollBar()->setValue(horz_offset_);
    }
    QScrollBar* bar = verticalScrollBar();
    {
        QSignalBlocker block(bar);
        bar->setRange(0, count);
    }
    if (bar->value() == n) {
        page_.top = n;
        Relayout();
        viewport()->update();
    } else {
        // The move comes back through OnVerticalMove, which finds it at the requested top and
        // calls this again with the bar in place.
        current_top_ = n;
        bar->setValue(n);
    }
}

bool TTextView::NextPage() {
    if (!lines_.empty() && !page_.at_end) {
        const int target = page_.next_page_top;
        if (verticalScrollBar()->value() == target)
            SetTopLine(target);
        else
            verticalScrollBar()->setValue(target);
        return false;
    }
    // The end stays on screen until another text is shown (which lays itself out anew): a
    // handler that finds nothing to show leaves this page, and the next step asks again instead
    // of paging past the end.
    emit OnEnd();
    return true;
}

void TTextView::OnVerticalMove(int position) {
    QScrollBar* bar = verticalScrollBar();
    // A move down while the end is on screen asks for the next text. The shown top is compared
    // too: the step back from a jump above the previous page also comes through here, moving
    // down from where the jump pointed, and that is no request for more.
    if (page_.at_end && position > current_top_ && position > page_.top) {
        emit OnEnd();
        current_top_ = page_.top;
        QSignalBlocker block(bar);
        bar->setValue(page_.top);
        return;
    }
    if (position == current_top_ ||
        (position >= page_.prev_page_top && position <= page_.next_page_top)) {
        SetTopLine(position);
        return;
    }
    // Too far for one step: go one page only, and never past a page break.
    current_top_ = position;
    bar->setValue(position < page_.prev_page_top ? page_.prev_page_top : page_.next_page_top);
}

void TTextView::scrollContentsBy(int, int) {
    // Both bars are handled by OnVerticalMove and SetHorzOffset; nothing is scrolled as pixels.
}

// --- Layout -----------------------------------------------------------------------------------

const QFont& TTextView::MeasuringFont(const QPaintDevice* device) const {
    if (simple_font_)
        return mono_font_;
    return Taller(text_font_, quote_font_, device);
}

void TTextView::UpdateMetrics() {
    line_height_ = RowHeight(MeasuringFont(viewport()), viewport(), line_mergine_);
    page_lines_ = std::max(1, viewport()->height() / line_height_);
}

void TTextView::Relayout() {
    const int count = static_cast<int>(lines_.size());
    page_ = textview::ComputePage(count, page_.top, page_lines_, [this](int i) {
        return IsPageBreakLine(lines_[static_cast<std::size_t>(i)]);
    });
    current_top_ = page_.top;
    QScrollBar* bar = verticalScrollBar();
    QSignalBlocker block(bar);
    bar->setRange(0, count);
    bar->setPageStep(page_lines_);
    bar->setValue(page_.top);
}

const QFont& TTextView::LineFont(std::string_view line) const {
    if (simple_font_)
        return mono_font_;
    return IsQuoteLine(line) ? quote_font_ : text_font_;
}

bool TTextView::IsQuoteLine(std::string_view line) const {
    if (coding_ == textview::LineCoding::Utf8)
        return textview::IsQuoteLine(line, cp932::ToUtf8(quoting_chars_), coding_);
    return textview::IsQuoteLine(line, quoting_chars_);
}

bool TTextView::IsPageBreakLine(std::string_view line) const {
    return textview::IsPageBreakLine(line, page_break_char_);
}

DrawnLine& TTextView::Drawn(int index) {
    if (auto it = cache_.find(index); it != cache_.end())
        return *it->second;
    if (cache_.size() >= kCacheLimit)
        cache_.clear();
    const std::string& line = lines_[static_cast<std::size_t>(index)];
    auto drawn = std::make_unique<DrawnLine>(line, index, LineFont(line), tab_count_,
                                             clickable_color_, viewport(), coding_);
    return *cache_.emplace(index, std::move(drawn)).first->second;
}

int TTextView::TextPageWidth() {
    int widest = 0;
    for (int row = 0; row < page_.rows; ++row) {
        const qreal width = Drawn(page_.top + row).Width();
        widest = std::max(widest, static_cast<int>(std::ceil(width)));
    }
    return widest + 2 * left_mergine_;
}

void TTextView::SetHorzOffset(int pixels) {
    const int limit = std::max(0, TextPageWidth() - viewport()->width());
    pixels = std::clamp(pixels, 0, limit);
    {
        QSignalBlocker block(horizontalScrollBar());
        horizontalScrollBar()->setRange(0, std::max(limit, horizontalScrollBar()->maximum()));
        horizontalScrollBar()->setValue(pixels);
    }
    if (pixels == horz_offset_)
        return;
    horz_offset_ = pixels;
    viewport()->update();
}

// --- Painting ---------------------------------------------------------------------------------

void TTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (back_picture_.isNull())
        painter.fillRect(event->rect(), palette().color(QPalette::Base));
    else
        painter.fillRect(event->rect(), QBrush(back_picture_));  // tiled from the top-left
    painter.setPen(palette().color(QPalette::Text));
    for (int row = 0; row < page_.rows; ++row) PaintRow(painter, row);
    if (widest_ - viewport()->width() > horizontalScrollBar()->maximum()) {
        QSignalBlocker block(horizontalScrollBar());
        horizontalScrollBar()->setRange(0, widest_ - viewport()->width());
    }
}

void TTextView::PaintRow(QPainter& painter, int row) {
    const int index = page_.top + row;
    const DrawnLine& line = Drawn(index);
    const int y = row * line_height_;
    const qreal x0 = left_mergine_ - horz_offset_;
    widest_ = std::max(widest_, static_cast<int>(std::ceil(line.Width())) + 2 * left_mergine_);

    // The part of this row inside the selection, if any: [from, to) in bytes, and whether the
    // highlight runs on to the right edge (the selection goes on below).
    std::size_t from = 0;
    std::size_t to = 0;
    bool to_edge = false;
    TextPos start = sel_start_;
    TextPos end = sel_end_;
    const int count = static_cast<int>(lines_.size());
    if (end.line >= count && count > 0)
        end = TextPos{count - 1, lines_.back().size()};
    const bool selected =
        end.line > start.line || (end.line == start.line && end.bytes > start.bytes);
    if (selected && index >= start.line && index <= end.line) {
        from = index == start.line ? start.bytes : 0;
        to = index == end.line ? end.bytes : line.ByteCount();
        to_edge = index != end.line;
        const qreal left = x0 + line.X(from);
        const qreal right = to_edge ? viewport()->width() : x0 + line.X(to);
        if (right > left) {
            painter.fillRect(QRectF(left, y, right - left, line_height_),
                             palette().color(QPalette::Highlight));
        }
    }
    const bool quote = quote_color_.isValid() && !simple_font_ && index >= 0 &&
                       static_cast<std::size_t>(index) < lines_.size() &&
                       IsQuoteLine(lines_[static_cast<std::size_t>(index)]);
    painter.setPen(quote ? quote_color_ : palette().color(QPalette::Text));
    line.Draw(&painter, QPointF(x0, y + 1), from, to, QColor(),
              palette().color(QPalette::HighlightedText));
}

void TTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateMetrics();
    Relayout();
}

// --- Mouse ------------------------------------------------------------------------------------

TTextView::Hit TTextView::HitTest(QPoint point) {
    const int count = static_cast<int>(lines_.size());
    const int line = std::max(0, page_.top + FloorDiv(point.y(), line_height_));
    if (line >= count)
        return Hit{TextPos{count, 0}, TextPos{count, 0}};
    const textview::LineHit hit = Drawn(line).Hit(point.x() - (left_mergine_ - horz_offset_));
    return Hit{TextPos{line, hit.before}, TextPos{line, hit.through}};
}

std::string TTextView::ClickableAt(const Hit& hit) {
    if (hit.before.line >= static_cast<int>(lines_.size()) || hit.through.bytes <= hit.before.bytes)
        return {};
    for (const Clickable& item : Drawn(hit.before.line).Items()) {
        if (item.offset <= hit.before.bytes && hit.through.bytes <= item.End())
            return item.text;
    }
    return {};
}

std::vector<Clickable> TTextView::Clickables(int line) const {
    if (line < 0 || line >= static_cast<int>(lines_.size()))
        return {};
    return textview::ScanClickables(lines_[static_cast<std::size_t>(line)], line);
}

void TTextView::UpdatePointer() {
    if (click_text_.empty())
        viewport()->unsetCursor();
    else
        viewport()->setCursor(Qt::PointingHandCursor);
}

void TTextView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    emit OnMouseDown(event->button(), event->modifiers(), point.x(), point.y());
    click_pending_ = true;
    dragging_ = true;
    press_point_ = point;
    if (!lines_.empty()) {
        const Hit hit = HitTest(point);
        sel_start_ = sel_end_ = hit.before;
        // The item under the press, in case no movement announced it (a touch, a click right
        // after the text changed under a resting pointer).
        click_text_ = ClickableAt(hit);
        UpdatePointer();
        viewport()->update();
    }
}

void TTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: a press like any other (two clicks), unless the
    // platform has already delivered it as a press.
    if (!dragging_)
        mousePressEvent(event);
}

void TTextView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (click_pending_ && point == press_point_)
        return;  // a report of the pointer where it was pressed is no movement
    click_pending_ = false;
    click_text_.clear();
    if (!lines_.empty()) {
        const Hit hit = HitTest(point);
        if (dragging_) {
            sel_end_ = hit.through;
            viewport()->update();
        } else {
            click_text_ = ClickableAt(hit);
        }
    }
    UpdatePointer();
}

void TTextView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (click_pending_) {
        sel_start_ = sel_end_ = TextPos{};
        viewport()->update();
        if (!click_text_.empty() && (button == Qt::LeftButton || button == Qt::RightButton))
            emit OnClickText(click_text_, button);
        if (button == Qt::LeftButton)
            emit OnLeftClick(button, modifiers, point.x(), point.y());
        else if (button == Qt::RightButton)
            emit OnRightClick(button, modifiers, point.x(), point.y());
    } else if (dragging_ && !lines_.empty()) {
        sel_end_ = HitTest(point).through;
        viewport()->update();
    }
    emit OnMouseUp(button, modifiers, point.x(), point.y());
    click_pending_ = false;
    dragging_ = false;
}

std::string TTextView::SelectedText() const {
    try {
        const std::string text = textview::SelectedText(lines_, sel_start_, sel_end_, coding_);
        return coding_ == textview::LineCoding::Utf8 ? Utf8ToSjisText(text) : text;
    } catch (const std::exception&) {
        return {};
    }
}

QString TTextView::SelectedUnicodeText() const {
    try {
        const std::string text = textview::SelectedText(lines_, sel_start_, sel_end_, coding_);
        return coding_ == textview::LineCoding::Utf8 ? Utf8ToQString(text) : ToQString(text);
    } catch (const std::exception&) {
        return {};
    }
}

void TTextView::SetLineCoding(textview::LineCoding coding) {
    if (coding == coding_)
        return;
    coding_ = coding;
    cache_.clear();
    viewport()->update();
}

// --- Keyboard and focus -----------------------------------------------------------------------

void TTextView::keyPressEvent(QKeyEvent* event) {
    event->ignore();
    emit OnKeyDown(event);
    if (event->isAccepted())
        return;
    QAbstractScrollArea::keyPressEvent(event);
}

void TTextView::keyReleaseEvent(QKeyEvent* event) {
    event->ignore();
    emit OnKeyUp(event);
    if (event->isAccepted())
        return;
    QAbstractScrollArea::keyReleaseEvent(event);
}

void TTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    emit OnEnter();
}

void TTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    emit OnExit();
}

// --- Settings ---------------------------------------------------------------------------------

void TTextView::StyleChanged() {
    cache_.clear();
    UpdateMetrics();
    Relayout();
    viewport()->update();
}

void TTextView::SetLineMergine(int pixels) {
    line_mergine_ = pixels;
    StyleChanged();
}

void TTextView::SetLeftMergine(int pixels) {
    left_mergine_ = pixels;
    viewport()->update();
}

void TTextView::SetTextFont(const QFont& font) {
    text_font_ = font;
    StyleChanged();
}

void TTextView::SetQuoteFont(const QFont& font) {
    quote_font_ = font;
    StyleChanged();
}

void TTextView::SetMonoFont(const QFont& font) {
    mono_font_ = font;
    StyleChanged();
}

void TTextView::SetSimpleFont(bool on) {
    if (simple_font_ == on)
        return;
    simple_font_ = on;
    StyleChanged();
}

void TTextView::SetPageBreakChar(char c) {
    page_break_char_ = c;
    StyleChanged();
}

void TTextView::SetQuotingChars(std::string chars) {
    quoting_chars_ = std::move(chars);
    StyleChanged();
}

void TTextView::SetTabCount(int count) {
    tab_count_ = std::clamp(count, textview::kMinTabCount, textview::kMaxTabCount);
    StyleChanged();
}

void TTextView::SetQuoteColor(const QColor& color) {
    quote_color_ = color;
    viewport()->update();
}

void TTextView::SetClickableColor(const QColor& color) {
    clickable_color_ = color.isValid() ? color : palette().color(QPalette::Text);
    StyleChanged();
}

void TTextView::SetBackPicture(const QPixmap& picture) {
    back_picture_ = picture;
    viewport()->update();
}

int TTextView::ScrollRate() const {
    return verticalScrollBar()->singleStep();
}

void TTextView::SetScrollRate(int lines) {
    verticalScrollBar()->setSingleStep(std::max(1, lines));
}

// --- Printing ---------------------------------------------------------------------------------

int TTextView::PrintText(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    // The painter ends the document when it goes out of scope, also after a failed page.
    const QPaintDevice* device = &printer;
    const QFont text_font = ForPrinter(text_font_, viewport(), device);
    const QFont quote_font = ForPrinter(quote_font_, viewport(), device);
    const QFont mono_font = ForPrinter(mono_font_, viewport(), device);
    const auto line_font = [&](std::string_view line) -> const QFont& {
        if (simple_font_)
            return mono_font;
        return IsQuoteLine(line) ? quote_font : text_font;
    };
    textview::PrintGeometry geometry;
    geometry.page_width = printer.width();
    geometry.page_height = printer.height();
    geometry.line_height = RowHeight(
        simple_font_ ? mono_font : Taller(text_font, quote_font, device), device, line_mergine_);
    geometry.left = print_left_mergine_;
    geometry.top = print_top_mergine_;
    geometry.right = print_right_mergine_;
    geometry.bottom = print_bottom_mergine_;
    const std::vector<textview::PrintPage> pages =
        textview::PlanPrint(static_cast<int>(lines_.size()), print_left_headers_.size(),
                            print_right_headers_.size(), geometry);

    QFont bold = text_font;
    bold.setBold(true);
    const QFontMetricsF bold_metrics(bold, device);
    const int rule_width = std::max(1, printer.resolution() / 150);
    int printed = 0;
    for (const textview::PrintPage& page : pages) {
        if (printed > 0 && !printer.newPage())
            break;
        ++printed;
        painter.setPen(Qt::black);
        painter.setFont(bold);
        for (std::size_t i = 0; i < page.header_y.size(); ++i) {
            const qreal baseline = page.header_y[i] + bold_metrics.ascent();
            if (i < print_left_headers_.size())
                painter.drawText(QPointF(geometry.left, baseline),
                                 ToQString(print_left_headers_[i]));
            if (i < print_right_headers_.size()) {
                const QString text = ToQString(print_right_headers_[i]);
                const qreal width = bold_metrics.horizontalAdvance(text);
                painter.drawText(QPointF(geometry.page_width - geometry.right - width, baseline),
                                 text);
            }
        }
        if (page.rule_y >= 0) {
            painter.setPen(QPen(Qt::black, rule_width));
            painter.drawLine(geometry.left, page.rule_y, geometry.page_width - geometry.left,
                             page.rule_y);
            painter.setPen(Qt::black);
        }
        for (std::size_t k = 0; k < page.line_y.size(); ++k) {
            const int index = page.first_line + static_cast<int>(k);
            const std::string& text = lines_[static_cast<std::size_t>(index)];
            const DrawnLine line(text, index, line_font(text), tab_count_, QColor(), device,
                                 coding_);
            const int y = page.line_y[k];
            painter.save();
            painter.setClipRect(QRect(geometry.left, y,
                                      geometry.page_width - geometry.right - geometry.left,
                                      geometry.line_height));
            line.Draw(&painter, QPointF(geometry.left, y + 1));
            painter.restore();
        }
    }
    painter.end();
    return printed;
}

}  // namespace pelorin
