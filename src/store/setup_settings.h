// The settings the settings dialog edits, read from the program's settings file with the
// dialog's own defaults and stored back after OK. The caller (the dialog's window) hands in the
// settings file object and the defaults it cannot know: the program's directory, the editor
// command and the fonts the window shows now.
//
// Reading (ReadSetupSettings) writes the default of every key that is missing, as every reader
// of the settings file does; the defaults are those of the dialog, which differ from the main
// window's for two keys: [Display] ListStrings is "%50(%L{(%@),}%V%s%) >> %c" and [Files]
// Outbound and DataPath are empty. [Fonts] ClickableColor defaults to the text font's colour.
// The lists (AutoLoad, the print headers) and the fonts are never written back.
//
//   ディレクトリ      [Files] AutoLoad0.., Outbound, DataPath
//   メッセージ作成    [Editor] ExternalEditor; [Message] QuoteCharacter, Refer,
//                     Signature-File, ReplyTo, PostedFolder + PostedPacket,
//                     ReserveFolder + ReservePacket
//   画面表示          [Display] ListStrings, TabCount, BackPicture; [Message] QuoteChar;
//                     [Fonts] Groups.., Subj.., Text.., Quote.., MonoSpace.., ClickableColor;
//                     [Window] CutPattern, SetPattern
//   印刷              [Print] PrintLeftHeader0.., PrintRightHeader0.., PrintTopMergine,
//                     PrintBottomMergine, PrintLeftMergine, PrintRightMergine
//
// Storing (StoreSetupSettings) goes in this order, in one file write: the AutoLoad list,
// ExternalEditor, QuoteCharacter, Refer, Signature-File, Outbound, DataPath, ListStrings,
// QuoteChar, ReplyTo; CutPattern and SetPattern (nothing when empty: no radio button was
// checked); TabCount; the five fonts and ClickableColor; BackPicture; the posted and reserve
// folder pairs; the key bindings that changed (key_binding_editor.h); the two header lists and
// the four margins. A key is only written when the file does not hold the same value already
// (a list only when one of its lines changed, a font only when reading it back would give
// another font), so storing what was read leaves the file byte for byte as it was.
//
// Bad input: values cannot break the file (TIniF replaces CR and LF by blanks); every value
// stored otherwise than given is reported back, so the user can be shown what was stored.
#pragma once

#include "store/font.h"
#include "store/inifile.h"
#include "store/strutil.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class TKeyBindingEditor;

// The five fonts in the order of their buttons, with their [Fonts] key prefixes.
enum SetupFont { kFontGroups, kFontSubj, kFontText, kFontQuote, kFontMonoSpace, kSetupFonts };
std::string_view SetupFontPrefix(int font);

struct SetupSettings {
    // ディレクトリ
    TSList autoLoad;          // [Files] AutoLoad0, AutoLoad1, ...: paths of AREAS files
    std::string outbound;     // [Files] Outbound
    std::string dataPath;     // [Files] DataPath
    std::string saveCharset;  // [Files] SaveCharset: "" (the locale's), "UTF-8" or "Shift_JIS"
    // メッセージ作成
    std::string externalEditor;  // [Editor] ExternalEditor
    std::string quoteCharacter;  // [Message] QuoteCharacter
    std::string refer;           // [Message] Refer
    std::string signatureFile;   // [Message] Signature-File
    std::string replyTo;         // [Message] ReplyTo
    std::string postedFolder;    // [Message] PostedFolder (empty: none)
    std::string postedPacket;    // [Message] PostedPacket
    std::string reserveFolder;   // [Message] ReserveFolder (empty: none)
    std::string reservePacket;   // [Message] ReservePacket
    // 画面表示
    std::string listStrings;               // [Display] ListStrings
    std::string quoteChar;                 // [Message] QuoteChar
    int32_t tabCount = 4;                  // [Display] TabCount, 1 to 12
    std::string backPicture;               // [Display] BackPicture
    bool showImage = false;                // [Display] ShowImage (Y: pictures of image parts)
    std::array<TFont, kSetupFonts> fonts;  // [Fonts] by prefix
    int32_t clickableColor = 0;            // [Fonts] ClickableColor (0x00BBGGRR)
    std::string cutPattern;                // [Window] CutPattern; empty: none chosen
    std::string setPattern;                // [Window] SetPattern; empty: none chosen
    // 印刷
    TSList printLeftHeader;     // [Print] PrintLeftHeader0, ...
    TSList printRightHeader;    // [Print] PrintRightHeader0, ...
    int32_t printTop = 100;     // [Print] PrintTopMergine
    int32_t printBottom = 100;  // [Print] PrintBottomMergine
    int32_t printLeft = 100;    // [Print] PrintLeftMergine
    int32_t printRight = 100;   // [Print] PrintRightMergine
};

// What the dialog cannot read from the file.
struct SetupDefaults {
    std::string programDir;                // ends with "/"; Signature-File is it + "SIG.TXT"
    std::string editor;                    // ExternalEditor when missing
    std::array<TFont, kSetupFonts> fonts;  // the fonts shown now; missing font keys keep them
};

SetupSettings ReadSetupSettings(TIniF& ini, const SetupDefaults& defaults);

// A value the file holds otherwise than it was given (a line break became a blank).
struct StoredValue {
    std::string section;
    std::string key;
    std::string value;  // as stored
};

// Stores `settings` and the changed bindings of `bindings` (may be null) as described above;
// returns the values stored otherwise than given. ini.LastResult() tells whether the file
// could be written.
std::vector<StoredValue> StoreSetupSettings(TIniF& ini,
                                            const SetupSettings& settings,
                                            const TKeyBindingEditor* bindings);

// A margin typed as text: leading zeros do not matter, text that is no number gives 0.
int32_t MarginValue(std::string_view text);

// ---- the lists of the ディレクトリ and メッセージ作成 pages ----

enum class AutoLoadAdd {
    Added,          // the packet's AREAS path was appended
    AlreadyListed,  // it is in the list already (compared without regard to case)
    Missing,        // there is no AREAS file in that directory
};
// 追加: `chosen` is the file picked in the open dialog; the entry is its directory + "AREAS"
// (the file itself is found in any case). `message` receives the text to show for the two
// refusals: the directory + "AREAS はすでに登録されています" / "AREAS は存在しません".
AutoLoadAdd AddAutoLoad(TSList& list, std::string_view chosen, std::string& message);

// A folder as the posted and reserve folder lists offer it.
struct FolderItem {
    std::string folder;  // the folder's area name
    std::string packet;  // its folder packet's name
    std::string Text() const { return folder + "(" + packet + ")"; }
};
// The items of 保存フォルダ and 保留フォルダ after the first, "なし": every folder of `open`, then
// the stored pair when it names no open folder, so that OK keeps a folder of a packet that is
// not open. `index` receives the item to select: 0 for なし (an empty folder), else 1 + the
// place of the stored pair.
std::vector<FolderItem> FolderItems(const std::vector<FolderItem>& open,
                                    std::string_view folder,
                                    std::string_view packet,
                                    int& index);

}  // namespace pelorin
