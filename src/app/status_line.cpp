// The status bar and its panels (see status_line.h).
#include "app/status_line.h"

#include "view/sjis_qt.h"

#include <QLabel>

namespace pelorin {

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
        label->setFixedWidth(kWidths[i]);
        label->setFrameStyle(i == 2 ? QFrame::NoFrame : (QFrame::Panel | QFrame::Sunken));
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
