// TStatusLine: the main window's status bar ("StatusLine") with its three panels, left to
// right: panel 0, text at the right (the open area's unread and total counts), 80 pixels or
// as wide as "0000000/0000000" needs in its font, so that seven-digit counts fit;
// panel 1, 360 pixels (progress texts, the hint of the command under the mouse, the shown
// message's status line); panel 2, 50 pixels, without a frame.
#pragma once

#include <QStatusBar>

#include <array>
#include <string_view>

class QLabel;

namespace pelorin {

class TStatusLine : public QStatusBar {
    Q_OBJECT

public:
    explicit TStatusLine(QWidget* parent = nullptr);

    void SetPanel(int index, const QString& text);
    // Shift_JIS text.
    void SetPanelSjis(int index, std::string_view text);
    QString Panel(int index) const;
    QLabel* PanelLabel(int index) const { return panels_[static_cast<size_t>(index)]; }

private:
    // The width panel 0 needs for seven-digit counts.
    static int CountsWidth(const QLabel& label);

    std::array<QLabel*, 3> panels_{};
};

}  // namespace pelorin
