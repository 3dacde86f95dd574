// The small pictures beside the layout radio buttons of the settings dialog, painted (no
// bitmaps): a window outline with its three containers.
//
// CutPatternPicture shows where the strip of the two small panes lies (Top, Bottom: above or
// below the large pane, the small panes side by side; Left, Right: beside it, stacked).
// SetPatternPicture shows the Top layout with each container filled in the colour of the pane
// the pattern puts there (PaneColour: area tree, message list, text), in the order Panel2,
// Panel3, Panel1. An unknown pattern gives an empty outline.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace pelorin {

QPixmap CutPatternPicture(const QString& pattern);
QPixmap SetPatternPicture(const QString& pattern);
// The colour of a pane letter: 'A' area tree, 'S' message list, 'T' text.
QColor PaneColour(QChar letter);
// A small square of a pane's colour, for the legend labels エリア, 一覧, 本文.
QPixmap PaneSwatch(QChar letter);

}  // namespace pelorin
