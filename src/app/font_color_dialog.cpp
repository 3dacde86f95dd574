// The font dialog with its colour (see font_color_dialog.h).
#include "app/font_color_dialog.h"

#include "view/font_qt.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelorin {

std::function<void(TFontColorDlg&)> TESTING_ONLY_fontDialogShown;

TFontColorDlg::TFontColorDlg(const TFont& font, const QFont& base, QWidget* parent)
    : QDialog(parent)
    , font_(font) {
    setObjectName(QStringLiteral("FontColorDlg"));
    setWindowTitle(QStringLiteral("フォント"));
    // Qt's chooser as a part of this window: without its buttons, as a plain widget.
    fonts_ = new QFontDialog(this);
    fonts_->setObjectName(QStringLiteral("FontChooser"));
    fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts_->setWindowFlags(Qt::Widget);
    fonts_->setSizeGripEnabled(false);
    fonts_->setCurrentFont(ToQFont(font, base));

    auto* colourLabel = new QLabel(QStringLiteral("色"));
    swatch_ = new QLabel;
    swatch_->setObjectName(QStringLiteral("pnlColor"));
    swatch_->setFixedSize(48, 20);
    swatch_->setFrameShape(QFrame::Box);
    swatch_->setAutoFillBackground(true);
    auto* pick = new QPushButton(QStringLiteral("色(&C)..."));
    pick->setObjectName(QStringLiteral("cmdColor"));
    pick->setAutoDefault(false);
    connect(pick, &QPushButton::clicked, this, [this] { cmdColorClick(); });
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(swatch_);
    colourRow->addWidget(pick);
    colourRow->addStretch(1);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* box = new QVBoxLayout(this);
    box->addWidget(fonts_, 1);
    box->addLayout(colourRow);
    box->addWidget(buttons);
    ShowSwatch();
}

TFont TFontColorDlg::Chosen() const {
    return FromQFont(fonts_->currentFont(), font_);
}

void TFontColorDlg::SetColour(const QColor& colour) {
    font_.color = FromQColor(colour);
    ShowSwatch();
}

void TFontColorDlg::cmdColorClick() {
    const QColor chosen =
        QColorDialog::getColor(ToQColor(font_.color, palette()), this, QStringLiteral("色の設定"));
    if (chosen.isValid())
        SetColour(chosen);
}

void TFontColorDlg::ShowSwatch() {
    QPalette p = swatch_->palette();
    p.setColor(QPalette::Window, ToQColor(font_.color, palette()));
    swatch_->setPalette(p);
}

bool ChooseFontAndColour(TFont& font, const QFont& base, QWidget* parent) {
    TFontColorDlg dialog(font, base, parent);
    if (TESTING_ONLY_fontDialogShown)
        TESTING_ONLY_fontDialogShown(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.Chosen();
    return true;
}

}  // namespace pelorin
