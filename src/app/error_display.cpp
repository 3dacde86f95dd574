// The general error display (see error_display.h).
#include "app/error_display.h"

#include "coding/cp932.h"

#include <QStringDecoder>

#include <string_view>

namespace pelorin {

std::string ErrorText(const char* what) {
    const std::string_view text = what ? what : "";
    if (text.empty())
        return Sjis("不明なエラーが発生しました。");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // The decoder works when its result becomes a QString.
    const QString decoded =
        utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return utf8.hasError() ? std::string(text) : Sjis(text);
}

void ShowCurrentError(TDialogs& dialogs) noexcept {
    try {
        std::string text;
        try {
            throw;
        } catch (const std::exception& e) {
            text = ErrorText(e.what());
        } catch (...) {
            text = ErrorText(nullptr);
        }
        (void)dialogs.MessageBox(text, MsgIcon::Error, MsgButtons::Ok);
    } catch (...) {
        // Out of memory while showing the box: nothing more can be done, and the program
        // must not end because of a message.
    }
}

}  // namespace pelorin
