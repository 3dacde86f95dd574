#include "view/sjis_qt.h"

#include "coding/cp932.h"

namespace pelorin {

QString ToQString(std::string_view sjis) {
    std::u16string u = cp932::ToUtf16(sjis);
    return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

std::string FromQString(const QString& text) {
    return cp932::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                static_cast<size_t>(text.size())));
}

QString Utf8ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToUtf8(const QString& text) {
    return text.toStdString();
}

}  // namespace pelorin
