// TAboutBox: the about box ("ﾊﾞｰｼﾞｮﾝ情報"): the program icon, the product label, the version
// label and an OK button. Created for one showing.
#pragma once

#include <QDialog>

#include <string>

namespace pelorin {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // `versionText` is the window caption's version text (Shift_JIS).
    explicit TAboutBox(const std::string& versionText, QWidget* parent = nullptr);
};

}  // namespace pelorin
