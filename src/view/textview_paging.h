// Paging of the text view, free of Qt: which rows one screen shows, where the next and the
// previous page start, whether the end of the text is on screen, and how printed pages are laid
// out (header rows, the rule under them, the body lines).
//
// Screen pages. From the top line, rows are laid out one per line until the page is full (plus
// one more row that is cut off at the bottom) or the text ends; a page-break line is the last
// row of its page. The next page starts right after the rows that fit; the previous page starts
// after the nearest page-break line among the lines from two above the top to one page above
// it, or else one page and one line above the top (never above line 0). So one scroll step never
// moves more than about a page and never runs past a page break. The end of the text is on
// screen when fewer rows fit than the page holds because the text ran out (not because a page
// break stopped it); a text of exactly one page therefore needs one more step, to an empty page,
// before the end is reached.
//
// Printed pages. Each page starts with the header: rows of left and right header texts, one
// row per line height, stopping once the rows pass half the page, then a rule half a line below
// them and one empty line. Body lines follow one per line height; a line that would reach into
// the bottom margin starts a new page (page-break lines do not). A line taller than the room a
// page leaves is printed anyway (clipped) rather than producing blank pages.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace pelorin::textview {

// One screen page.
struct PageLayout {
    int top = 0;            // the first line shown
    int rows = 0;           // rows drawn, the cut-off row below the page included
    int visible = 0;        // rows that fit entirely
    int next_page_top = 0;  // top line one page down
    int prev_page_top = 0;  // top line one page up
    bool at_end = false;    // the last line is on screen (or there is none)
    bool operator==(const PageLayout&) const = default;
};

// The page from `top` (clamped into 0..line_count) for a view of `page_lines` full rows (taken
// as at least 1). `is_page_break(i)` tells whether line i ends a page.
PageLayout ComputePage(int line_count,
                       int top,
                       int page_lines,
                       const std::function<bool(int)>& is_page_break);

// Geometry of a printed page, in printer pixels.
struct PrintGeometry {
    int page_width = 0;
    int page_height = 0;
    int line_height = 1;
    int left = 0;  // margins
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One printed page: the y of every row's top edge.
struct PrintPage {
    std::vector<int> header_y;  // header row i shows left header i and right header i
    int rule_y = -1;            // y of the rule under the header; -1 without a header
    int first_line = 0;         // index of the first body line on the page
    std::vector<int> line_y;    // one entry per body line, in order from first_line
};

// The pages for `line_count` body lines with the given numbers of left and right header texts.
// There is always at least one page (an empty text prints its header).
std::vector<PrintPage> PlanPrint(int line_count,
                                 std::size_t left_headers,
                                 std::size_t right_headers,
                                 const PrintGeometry& geometry);

}  // namespace pelorin::textview
