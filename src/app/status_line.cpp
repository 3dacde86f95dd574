// The status bar and its panels (see status_line.h).
#include "app/status_line.h"

#include "view/sjis_qt.h"

#include <QLabel>

#include <algorithm>

namespace pelorin {

int TStatusLine::CountsWidth(const QLabel& label) {
    // Seven digits each way, in the label's font, inside its frame and margins.
    const int text = label.fontMetrics().horizontalAdvance(QStringLiteral("0000000/0000000"));
    return text + 2 * label.frameWidth() + 2 * label.margin() +
           label.fontMetrics().averageCharWidth();
}

TStatusLine::TStatusLine(QWidget* parent)
    : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusLine"));
    setSizeGripEnabled(true);
    // The panels draw their own frames; the bar draws none around its items.
    setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    static constexpr int kWidths[] = {80, 360, 50};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(i == 2 ? QFrame::NoFrame : (QFrame::Panel | QFrame::Sunken));
        label->setFixedWidth(kWidths[i]);
        if (i == 0)
            label->setFixedWidth(std::max(kWidths[0], CountsWidth(*label)));
        label->setAlignment((i == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        addWidget(label);
        panels_[static_cast<size_t>(i)] = label;
    }
}

void TStatusLine::SetPanel(int index, const QString& text) {
    panels_[static_cast<size_t>(index)]->setText(text);
}

void TStatusLine::SetPanelSjis(int index, std::string_view text) {
    SetPanel(index, ToQString(text));
}

QString TStatusLine::Panel(int index) const {
    return panels_[static_cast<size_t>(index)]->text();
}

}  // namespace pelorin
