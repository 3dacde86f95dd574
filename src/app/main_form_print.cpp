// Printing: 印刷(&P)... (FilePrintItem, ftbPrint) prints the lines the text view shows for the
// current message, with the header lines and margins of print_job.h, on the printer chosen in
// the print dialog; ﾌﾟﾘﾝﾀの設定(&R)... (FilePrintSetup) opens the page setup dialog on the
// same printer and nothing else. Nothing is printed while no message is current or the text
// view is hidden. A printer that cannot start shows an error box; nothing is retried.
#include "coding/cp932.h"

#include "app/main_form.h"
#include "app/print_job.h"
#include "view/textview.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace pelorin {

void TMainForm::BuildPrintCommands() {
    TCommandSet& c = *commands_;
    c.Alias("ftbPrint", c.Add("FilePrintItem", QStringLiteral("印刷(&P)..."),
                              QStringLiteral("印刷"), [this] { FilePrint(); }));
    c.Add("FilePrintSetup", QStringLiteral("ﾌﾟﾘﾝﾀの設定(&R)..."), QString(),
          [this] { FilePrintSetup(); });
}

void TMainForm::FilePrint() {
    if (!message_)
        return;
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintMessage(*printer_);
}

bool TMainForm::PrintMessage(QPrinter& printer) {
    if (!message_ || text_->isHidden())
        return false;
    ApplyPrintJob(ReadPrintJob(*ini_, *message_), *text_);
    if (text_->PrintText(printer) == 0) {
        (void)dialogs_->MessageBox(Sjis("印刷できませんでした。"), MsgIcon::Error, MsgButtons::Ok);
        return false;
    }
    return true;
}

void TMainForm::FilePrintSetup() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.exec();
}

}  // namespace pelorin
