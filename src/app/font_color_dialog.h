// TFontColorDlg: the font dialog of the program ("フォント"): Qt's font chooser (face, style,
// size, underline and strike-out) with a colour row below it - a swatch of the font's colour
// and 色(&C)..., which opens the colour dialog - and OK / ｷｬﾝｾﾙ. Qt's own font dialog has no
// colour, and the settings file keeps one with every font.
//
// The colour is kept as the stored value (0x00BBGGRR, or a system colour with the top byte
// 0xFF) until the user picks another, so a font whose colour follows the desktop keeps doing
// so when only its face or size changes.
//
// ChooseFontAndColour is the whole use, for the font menu of the main window and the font
// buttons of the settings dialog.
#pragma once

#include "store/font.h"

#include <QDialog>
#include <QFont>

#include <cstdint>
#include <functional>

class QFontDialog;
class QLabel;

namespace pelorin {

class TFontColorDlg : public QDialog {
    Q_OBJECT

public:
    // `font` is shown over `base` (its face and size when the description leaves them open).
    TFontColorDlg(const TFont& font, const QFont& base, QWidget* parent = nullptr);

    // The description chosen: face, size and styles from the font chooser, the character set
    // of the description given, the colour as stored or as picked.
    TFont Chosen() const;

    QFontDialog* FontChooser() const { return fonts_; }
    // Sets the colour as if picked in the colour dialog.
    void SetColour(const QColor& colour);
    // 色(&C)...: the colour dialog on the current colour.
    void cmdColorClick();

private:
    void ShowSwatch();

    TFont font_;  // the description given; colour replaced when one is picked
    QFontDialog* fonts_ = nullptr;
    QLabel* swatch_ = nullptr;
};

// Opens the dialog on `font`; true, with `font` changed, after OK.
bool ChooseFontAndColour(TFont& font, const QFont& base, QWidget* parent);

// Tests and the walk-through reach the dialog while it is shown modally through this hook:
// called with the dialog just before it runs (tests only; null in the program).
extern std::function<void(TFontColorDlg&)> TESTING_ONLY_fontDialogShown;

}  // namespace pelorin
