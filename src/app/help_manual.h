// ヘルプ > 操作説明 (F1): the HTML manual that ships with the program (dist/manual/index.html).
// It is looked for beside the program (the build tree puts it in "manual" there), then where
// installing puts it (DATADIR/pelorin/manual, found from the program's folder).
#pragma once

#include <QString>

namespace pelorin {

// The manual's file for a program in `programDir`; empty when neither place holds it.
QString FindManual(const QString& programDir);

}  // namespace pelorin
