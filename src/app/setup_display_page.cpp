// The settings dialog's 画面表示 page (see setup_dialog.h): the list template, the quote
// characters, the tab width (a track bar from 1 to 12 with marks, labelled 4, 8 and 12), the
// background picture, the five font buttons and クリック, and the two layout groups.
//
// Each font button shows the name and size of its font, written in that font and its colour;
// pressing it opens the font dialog with its colour (font_color_dialog.h). クリック is written in
// the clickable colour and opens the colour dialog. A stored value that names no layout radio
// button leaves the group without a checked button (for 画面分割 the hidden optFillWindow holds
// the check), and nothing is stored for that group then. A tab width outside 1 to 12 shows
// at the nearest end of the track bar and is kept unless the bar is moved.
#include "app/layout_pictures.h"
#include "app/setup_dialog.h"
#include "view/font_qt.h"
#include "view/sjis_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace pelorin {
namespace {

constexpr const char* kCutPatterns[] = {"Top", "Bottom", "Left", "Right"};
constexpr const char* kSetPatterns[] = {"AST", "ATS", "SAT", "STA", "TAS", "TSA"};

// The labels under the tab track bar, each below its mark.
class TickLabels : public QWidget {
public:
    explicit TickLabels(QSlider* slider)
        : slider_(slider) {
        setMinimumHeight(fontMetrics().height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionSlider option;
        option.initFrom(slider_);
        option.orientation = slider_->orientation();
        option.minimum = slider_->minimum();
        option.maximum = slider_->maximum();
        const int handle = slider_->style()->pixelMetric(QStyle::PM_SliderLength, &option, slider_);
        const int span = slider_->width() - handle;
        for (int value : {4, 8, 12}) {
            const int x = handle / 2 + QStyle::sliderPositionFromValue(
                                           slider_->minimum(), slider_->maximum(), value, span);
            const QString text = QString::number(value);
            const int w = fontMetrics().horizontalAdvance(text);
            p.drawText(QRect(x - w, 0, 2 * w, height()), Qt::AlignCenter, text);
        }
    }

private:
    QSlider* slider_;  // lies right above, as wide as this row
};

QRadioButton* Radio(const char* name, const QPixmap& picture) {
    auto* r = new QRadioButton;
    r->setObjectName(QString::fromLatin1(name));
    r->setIcon(QIcon(picture));
    r->setIconSize(picture.size());
    return r;
}

}  // namespace

QWidget* TSetUpDlg::BuildDisplayPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsDisplay"));
    edtSubjectLine_ = new QLineEdit;
    edtSubjectLine_->setObjectName(QStringLiteral("edtSubjectLine"));
    edtQuoteChars_ = new QLineEdit;
    edtQuoteChars_->setObjectName(QStringLiteral("edtQuoteChars"));
    tabBar_ = new QSlider(Qt::Horizontal);
    tabBar_->setObjectName(QStringLiteral("TabBar"));
    tabBar_->setRange(1, 12);
    tabBar_->setPageStep(4);
    tabBar_->setTickInterval(1);
    tabBar_->setTickPosition(QSlider::TicksBelow);
    auto* tabValue = new QLabel;
    tabValue->setObjectName(QStringLiteral("lblTabCount"));
    tabValue->setMinimumWidth(tabValue->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    connect(tabBar_, &QSlider::valueChanged, tabValue,
            [tabValue](int v) { tabValue->setText(QString::number(v)); });
    edtBackPic_ = new QLineEdit;
    edtBackPic_->setObjectName(QStringLiteral("edtBackPic"));
    auto* backRef = new QPushButton(QStringLiteral("参照"));
    backRef->setObjectName(QStringLiteral("cmdBackPicRef"));
    backRef->setAutoDefault(false);
    connect(backRef, &QPushButton::clicked, this, [this] { cmdBackPicRefClick(); });

    auto* top = new QGridLayout;
    int row = 0;
    top->addWidget(new QLabel(QStringLiteral("一覧表示の内容")), row, 0);
    top->addWidget(edtSubjectLine_, row++, 1, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("引用行とする文字")), row, 0);
    top->addWidget(edtQuoteChars_, row++, 1, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("タブの文字数")), row, 0);
    auto* tabColumn = new QVBoxLayout;
    tabColumn->setSpacing(0);
    tabColumn->addWidget(tabBar_);
    auto* labels = new TickLabels(tabBar_);
    tabColumn->addWidget(labels);
    top->addLayout(tabColumn, row, 1);
    top->addWidget(tabValue, row++, 2);
    top->addWidget(new QLabel(QStringLiteral("背景ファイル")), row, 0);
    top->addWidget(edtBackPic_, row, 1);
    top->addWidget(backRef, row++, 2);
    cbShowImage_ = new QCheckBox(QStringLiteral("画像の添付を絵で表示する"));
    cbShowImage_->setObjectName(QStringLiteral("cbShowImage"));
    top->addWidget(cbShowImage_, row++, 1, 1, 2);
    top->setColumnStretch(1, 1);

    // フォント
    auto* fontGroup = new QGroupBox(QStringLiteral("フォント"));
    auto* fontGrid = new QGridLayout(fontGroup);
    static const char* const kFontNames[kSetupFonts] = {"cmdFontArea", "cmdFontSubj", "cmdFontText",
                                                        "cmdFontQuote", "cmdFontMono"};
    static const char* const kFontLabels[kSetupFonts] = {"エリア", "一覧", "本文", "引用", "単一"};
    for (int i = 0; i < kSetupFonts; ++i) {
        auto* b = new QPushButton;
        b->setObjectName(QString::fromLatin1(kFontNames[i]));
        b->setAutoDefault(false);
        b->setMinimumWidth(160);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdFontAreaClick(i); });
        fontButtons_[static_cast<size_t>(i)] = b;
        fontGrid->addWidget(new QLabel(QString::fromUtf8(kFontLabels[i])), i, 0);
        fontGrid->addWidget(b, i, 1);
    }
    cmdFontClick_ = new QPushButton(QStringLiteral("クリック"));
    cmdFontClick_->setObjectName(QStringLiteral("cmdFontClick"));
    cmdFontClick_->setAutoDefault(false);
    connect(cmdFontClick_, &QPushButton::clicked, this, [this] { cmdFontClickClick(); });
    fontGrid->addWidget(cmdFontClick_, kSetupFonts, 1);

    // 画面分割
    auto* cutBox = new QGroupBox(QStringLiteral("画面分割"));
    auto* cutGrid = new QGridLayout(cutBox);
    cutGroup_ = new QButtonGroup(this);
    int id = 0;
    for (const char* pattern : kCutPatterns) {
        QRadioButton* r = Radio((std::string("opt") + pattern).c_str(),
                                CutPatternPicture(QString::fromLatin1(pattern)));
        cutGroup_->addButton(r, id);
        cutGrid->addWidget(r, id / 2, id % 2);
        ++id;
    }
    auto* fill = new QRadioButton;
    fill->setObjectName(QStringLiteral("optFillWindow"));
    fill->hide();
    cutGroup_->addButton(fill, id);
    cutGrid->addWidget(fill, 2, 0);

    // 配置
    auto* setBox = new QGroupBox(QStringLiteral("配置"));
    auto* setGrid = new QGridLayout(setBox);
    setGroup_ = new QButtonGroup(this);
    id = 0;
    for (const char* pattern : kSetPatterns) {
        QRadioButton* r = Radio((std::string("opt") + pattern).c_str(),
                                SetPatternPicture(QString::fromLatin1(pattern)));
        setGroup_->addButton(r, id);
        setGrid->addWidget(r, id / 3, id % 3);
        ++id;
    }
    auto* legend = new QHBoxLayout;
    static const char* const kLegend[3][2] = {{"A", "エリア"}, {"S", "一覧"}, {"T", "本文"}};
    for (const auto& entry : kLegend) {
        auto* swatch = new QLabel;
        swatch->setPixmap(PaneSwatch(QLatin1Char(entry[0][0])));
        legend->addWidget(swatch);
        legend->addWidget(new QLabel(QString::fromUtf8(entry[1])));
        legend->addSpacing(8);
    }
    legend->addStretch(1);
    setGrid->addLayout(legend, 2, 0, 1, 3);

    auto* layouts = new QVBoxLayout;
    layouts->addWidget(cutBox);
    layouts->addWidget(setBox);
    layouts->addStretch(1);
    auto* lower = new QHBoxLayout;
    lower->addWidget(fontGroup, 1);
    lower->addLayout(layouts);

    auto* box = new QVBoxLayout(page);
    box->addLayout(top);
    box->addLayout(lower, 1);
    return page;
}

void TSetUpDlg::LoadDisplayPage(const SetupSettings& s) {
    edtSubjectLine_->setText(ToQString(s.listStrings));
    edtQuoteChars_->setText(ToQString(s.quoteChar));
    tabCountRead_ = s.tabCount;
    tabBar_->setValue(s.tabCount);
    edtBackPic_->setText(ToQString(s.backPicture));
    cbShowImage_->setChecked(s.showImage);
    fonts_ = s.fonts;
    for (int i = 0; i < kSetupFonts; ++i) ShowFontButton(i);
    clickableColor_ = s.clickableColor;
    ShowClickButton();
    QAbstractButton* cut = cutGroup_->button(4);  // optFillWindow: none of the four
    for (int i = 0; i < 4; ++i) {
        if (s.cutPattern == kCutPatterns[i])
            cut = cutGroup_->button(i);
    }
    cut->setChecked(true);
    for (int i = 0; i < 6; ++i) {
        if (s.setPattern == kSetPatterns[i])
            setGroup_->button(i)->setChecked(true);
    }
}

void TSetUpDlg::ReadDisplayPage(SetupSettings& s) const {
    s.listStrings = EditedText(edtSubjectLine_->text(), read_.listStrings);
    s.quoteChar = EditedText(edtQuoteChars_->text(), read_.quoteChar);
    // A stored width the track bar cannot show stays as it is unless the bar was moved.
    s.tabCount =
        tabBar_->value() == std::clamp(tabCountRead_, 1, 12) ? tabCountRead_ : tabBar_->value();
    s.backPicture = EditedText(edtBackPic_->text(), read_.backPicture);
    s.showImage = cbShowImage_->isChecked();
    s.fonts = fonts_;
    s.clickableColor = clickableColor_;
    const int cut = cutGroup_->checkedId();
    s.cutPattern = cut >= 0 && cut < 4 ? kCutPatterns[cut] : "";
    const int set = setGroup_->checkedId();
    s.setPattern = set >= 0 && set < 6 ? kSetPatterns[set] : "";
}

void TSetUpDlg::ShowFontButton(int font) {
    QPushButton* b = fontButtons_[static_cast<size_t>(font)];
    const TFont& f = fonts_[static_cast<size_t>(font)];
    const QFont shown = ToQFont(f, this->font());
    b->setFont(shown);
    b->setText(QStringLiteral("%1 %2pt").arg(shown.family()).arg(shown.pointSize()));
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, ToQColor(f.color, palette()));
    b->setPalette(p);
}

void TSetUpDlg::ShowClickButton() {
    QPalette p = cmdFontClick_->palette();
    p.setColor(QPalette::ButtonText, ToQColor(clickableColor_, palette()));
    cmdFontClick_->setPalette(p);
}

void TSetUpDlg::cmdFontAreaClick(int font) {
    if (font < 0 || font >= kSetupFonts)
        return;
    TFont chosen = fonts_[static_cast<size_t>(font)];
    if (!chooseFont(chosen))
        return;
    fonts_[static_cast<size_t>(font)] = chosen;
    ShowFontButton(font);
}

void TSetUpDlg::cmdFontClickClick() {
    int32_t colour = clickableColor_;
    if (!chooseColour(colour))
        return;
    clickableColor_ = colour;
    ShowClickButton();
}

void TSetUpDlg::cmdBackPicRefClick() {
    const std::string chosen =
        chooseFile(QStringLiteral("背景ファイル"), FromQString(edtBackPic_->text()),
                   QStringLiteral("ビットマップファイル (*.bmp *.BMP)"));
    if (!chosen.empty())
        edtBackPic_->setText(ToQString(chosen));
}

}  // namespace pelorin
