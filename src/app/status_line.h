// TStatusLine: the main window's status bar ("StatusLine") with its three panels, left to
// right: panel 0, 80 pixels, text at the right (the open area's unread and total counts);
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
    std::array<QLabel*, 3> panels_{};
};

}  // namespace pelorin
