// The own directory (see own_dir.h).
#include "app/own_dir.h"

#include "app/settings_names.h"
#include "view/sjis_qt.h"

#include <QDir>

namespace pelorin {

QString OwnDirectory() {
    QString dir = qEnvironmentVariable("PELORIN_HOME");
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.config/pelorin");
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

std::string OwnDirectorySjis() {
    return FromQString(OwnDirectory());
}

bool MakeOwnDirectory() {
    return QDir().mkpath(OwnDirectory());
}

std::string SettingsFilePath() {
    return OwnDirectorySjis() + std::string(settings::kSettingsFileName);
}

}  // namespace pelorin
