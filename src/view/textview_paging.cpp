#include "view/textview_paging.h"

#include <algorithm>

namespace pelorin::textview {

PageLayout ComputePage(int line_count,
                       int top,
                       int page_lines,
                       const std::function<bool(int)>& is_page_break) {
    line_count = std::max(line_count, 0);
    page_lines = std::max(page_lines, 1);
    PageLayout page;
    page.top = std::clamp(top, 0, line_count);
    bool stopped_at_break = false;
    for (int i = 0; i <= page_lines && page.top + i < line_count; ++i) {
        ++page.rows;
        if (i < page_lines)
            ++page.visible;
        if (is_page_break(page.top + i)) {
            stopped_at_break = true;
            break;
        }
    }
    page.next_page_top = page.top + page.visible;
    page.prev_page_top = std::max(0, page.top - page_lines - 1);
    for (int j = page.top - 2; j >= page.top - page_lines && j >= 0; --j) {
        if (is_page_break(j)) {
            page.prev_page_top = j + 1;
            break;
        }
    }
    page.at_end = page.visible < page_lines && !stopped_at_break;
    return page;
}

std::vector<PrintPage> PlanPrint(int line_count,
                                 std::size_t left_headers,
                                 std::size_t right_headers,
                                 const PrintGeometry& g) {
    const int line_height = std::max(g.line_height, 1);
    const std::size_t header_rows = std::max(left_headers, right_headers);

    std::vector<PrintPage> pages;
    int y = 0;
    const auto start_page = [&](int first_line) {
        PrintPage& page = pages.emplace_back();
        page.first_line = first_line;
        y = g.top;
        if (header_rows == 0)
            return;
        for (std::size_t i = 0; i < header_rows; ++i) {
            if (y > g.page_height / 2)
                break;
            page.header_y.push_back(y);
            y += line_height;
        }
        page.rule_y = y + line_height / 2;
        y += line_height;
    };

    start_page(0);
    for (int line = 0; line < line_count; ++line) {
        // A page that holds no body line yet takes the line even when it does not fit: a
        // new page would have no more room and the text would never end.
        if (g.page_height - g.bottom < y + line_height && !pages.back().line_y.empty())
            start_page(line);
        pages.back().line_y.push_back(y);
        y += line_height;
    }
    return pages;
}

}  // namespace pelorin::textview
