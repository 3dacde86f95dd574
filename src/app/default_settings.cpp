// Default settings written at start-up (see default_settings.h).
#include "app/default_settings.h"

#include "coding/cp932.h"
#include "store/compose_editor.h"
#include "store/settings.h"

#include "app/settings_names.h"

#include <cstdlib>

namespace pelorin {

namespace s = settings;

// $VISUAL, else $EDITOR, else a terminal editor in a terminal window: the same rule the core's
// composition uses when the key is empty.
std::string DefaultEditor() {
    return DefaultEditorCommand(std::getenv("VISUAL"), std::getenv("EDITOR"));
}

void WriteDefaults(TIniF& ini, std::string_view ownDir) {
    TIniF::Update batch(ini);
    for (const KeyBinding& b : kDefaultBindings) (void)ReadText(ini, s::kKeyBind, b.key, b.binding);
    (void)ReadText(ini, s::kEditor, s::kExternalEditor, DefaultEditor());
    (void)ReadText(ini, s::kFiles, s::kOutbound, ownDir);
    TSList lines;
    ReadList(ini, s::kPrint, s::kPrintLeftHeader, lines);
    if (lines.empty()) {
        WriteList(ini, s::kPrint, s::kPrintLeftHeader,
                  {Sjis("タイトル: %s"), Sjis("差出人: %F"), Sjis("投稿日: %Y年%m月%d日")});
    }
    ReadList(ini, s::kPrint, s::kPrintRightHeader, lines);
    if (lines.empty())
        WriteList(ini, s::kPrint, s::kPrintRightHeader, {"printed by Pelorin"});
}

}  // namespace pelorin
