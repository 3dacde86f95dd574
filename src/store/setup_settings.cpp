// Reading and storing the settings of the settings dialog (see setup_settings.h).
#include "store/setup_settings.h"

#include "coding/cp932.h"
#include "store/key_binding_editor.h"
#include "store/packet_files.h"
#include "store/settings.h"

#include <limits>

namespace pelorin {
namespace {

constexpr std::string_view kFiles = "Files";
constexpr std::string_view kEditor = "Editor";
constexpr std::string_view kMessage = "Message";
constexpr std::string_view kDisplay = "Display";
constexpr std::string_view kFonts = "Fonts";
constexpr std::string_view kWindow = "Window";
constexpr std::string_view kPrint = "Print";
constexpr int32_t kDefaultMargin = 100;

// Whether the file holds every key of the font with `prefix`.
bool HasEveryFontKey(TIniF& ini, std::string_view prefix) {
    for (std::string_view key : {"Name", "Size", "Color", "CharSet", "StyleBold", "StyleItalic",
                                 "StyleUnderline", "StyleStrikeout"}) {
        if (!ini.KeyExists(kFonts, std::string(prefix) + std::string(key)))
            return false;
    }
    return true;
}

// Writes the settings in order and notes what the file holds otherwise than given.
class Writer {
public:
    explicit Writer(TIniF& ini)
        : ini_(ini) {}

    void Text(std::string_view section, std::string_view key, const std::string& value) {
        (void)ini_.WriteString(section, key, value);  // no change when the file holds it
        Check(section, key, value);
    }
    void Flag(std::string_view section, std::string_view key, bool value) {
        // Written when the key is missing or reads otherwise (as the dialog read it: a value
        // that is neither "Y" nor "N" stays when the switch was left as it showed).
        if (!ini_.KeyExists(section, key) || ReadFlag(ini_, section, key, false) != value)
            WriteFlag(ini_, section, key, value);
    }
    void Number(std::string_view section, std::string_view key, int32_t value) {
        // Compared as numbers, so a value stored as " 9" or "09" is not rewritten as "9".
        constexpr int32_t kMissing = std::numeric_limits<int32_t>::min();
        if (value == kMissing || ini_.ReadInteger(section, key, kMissing) != value)
            (void)ini_.WriteInteger(section, key, value);
    }
    void List(std::string_view section, std::string_view prefix, const TSList& lines) {
        TSList stored;
        ReadList(ini_, section, prefix, stored);
        if (stored != lines)
            WriteList(ini_, section, prefix, lines);
        ReadList(ini_, section, prefix, stored);
        for (size_t i = 0; i < lines.size() && i < stored.size(); ++i) {
            if (stored[i] != lines[i])
                changed_.push_back(
                    {std::string(section), std::string(prefix) + std::to_string(i), stored[i]});
        }
    }
    void Font(std::string_view prefix, const TFont& font) {
        // Reading the keys back over the font itself gives the font again exactly when every
        // key the file holds agrees with it (missing keys keep the font's value), so a font
        // with a key missing is written whole: the next start reads it from the file alone.
        TFont stored = font;
        ReadFont(ini_, kFonts, prefix, stored);
        if (!HasEveryFontKey(ini_, prefix) || !(stored == font))
            WriteFont(ini_, kFonts, prefix, font);
        Check(kFonts, std::string(prefix) + "Name", font.name);
    }

    std::vector<StoredValue> Changed() { return std::move(changed_); }

private:
    void Check(std::string_view section, std::string_view key, const std::string& value) {
        const std::string stored = ini_.ReadString(section, key, value);
        if (stored != value)
            changed_.push_back({std::string(section), std::string(key), stored});
    }

    TIniF& ini_;
    std::vector<StoredValue> changed_;
};

bool IsPattern(std::string_view value, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (value == name)
            return true;
    }
    return false;
}

}  // namespace

std::string_view SetupFontPrefix(int font) {
    switch (font) {
        case kFontGroups:
            return "Groups";
        case kFontSubj:
            return "Subj";
        case kFontText:
            return "Text";
        case kFontQuote:
            return "Quote";
        default:
            return "MonoSpace";
    }
}

SetupSettings ReadSetupSettings(TIniF& ini, const SetupDefaults& defaults) {
    TIniF::Update batch(ini);  // the defaults of missing keys in one file write
    SetupSettings s;
    ReadList(ini, kFiles, "AutoLoad", s.autoLoad);
    s.outbound = ReadText(ini, kFiles, "Outbound", "");
    s.dataPath = ReadText(ini, kFiles, "DataPath", "");
    s.saveCharset = ReadText(ini, kFiles, "SaveCharset", "");
    s.externalEditor = ReadText(ini, kEditor, "ExternalEditor", defaults.editor);
    s.quoteCharacter = ReadText(ini, kMessage, "QuoteCharacter", ">");
    s.refer = ReadText(ini, kMessage, "Refer", "In article %I, %F{,you} wrote");
    s.signatureFile = ReadText(ini, kMessage, "Signature-File", defaults.programDir + "SIG.TXT");
    s.replyTo = ReadText(ini, kMessage, "ReplyTo", "");
    s.postedFolder = ReadText(ini, kMessage, "PostedFolder", "");
    s.postedPacket = ReadText(ini, kMessage, "PostedPacket", "");
    s.reserveFolder = ReadText(ini, kMessage, "ReserveFolder", "");
    s.reservePacket = ReadText(ini, kMessage, "ReservePacket", "");
    s.listStrings = ReadText(ini, kDisplay, "ListStrings", "%50(%L{(%@),}%V%s%) >> %c");
    s.quoteChar = ReadText(ini, kMessage, "QuoteChar", ">");
    s.tabCount = ReadNumber(ini, kDisplay, "TabCount", 4);
    s.backPicture = ReadText(ini, kDisplay, "BackPicture", "");
    s.showImage = ReadFlag(ini, kDisplay, "ShowImage", false);
    if (!ini.KeyExists(kDisplay, "ShowImage"))
        WriteFlag(ini, kDisplay, "ShowImage", s.showImage);
    for (int i = 0; i < kSetupFonts; ++i) {
        s.fonts[static_cast<size_t>(i)] = defaults.fonts[static_cast<size_t>(i)];
        ReadFont(ini, kFonts, SetupFontPrefix(i), s.fonts[static_cast<size_t>(i)]);
        // A font the file does not hold whole is written as shown, as the other missing keys
        // are: the file then says what the next start reads.
        if (!HasEveryFontKey(ini, SetupFontPrefix(i)))
            WriteFont(ini, kFonts, SetupFontPrefix(i), s.fonts[static_cast<size_t>(i)]);
    }
    s.clickableColor = ReadNumber(ini, kFonts, "ClickableColor", s.fonts[kFontText].color);
    s.cutPattern = ReadText(ini, kWindow, "CutPattern", "Top");
    s.setPattern = ReadText(ini, kWindow, "SetPattern", "AST");
    ReadList(ini, kPrint, "PrintLeftHeader", s.printLeftHeader);
    ReadList(ini, kPrint, "PrintRightHeader", s.printRightHeader);
    s.printTop = ReadNumber(ini, kPrint, "PrintTopMergine", kDefaultMargin);
    s.printBottom = ReadNumber(ini, kPrint, "PrintBottomMergine", kDefaultMargin);
    s.printLeft = ReadNumber(ini, kPrint, "PrintLeftMergine", kDefaultMargin);
    s.printRight = ReadNumber(ini, kPrint, "PrintRightMergine", kDefaultMargin);
    return s;
}

std::vector<StoredValue> StoreSetupSettings(TIniF& ini,
                                            const SetupSettings& s,
                                            const TKeyBindingEditor* bindings) {
    TIniF::Update batch(ini);  // one file write for everything
    Writer w(ini);
    // 1.
    w.List(kFiles, "AutoLoad", s.autoLoad);
    w.Text(kEditor, "ExternalEditor", s.externalEditor);
    w.Text(kMessage, "QuoteCharacter", s.quoteCharacter);
    w.Text(kMessage, "Refer", s.refer);
    w.Text(kMessage, "Signature-File", s.signatureFile);
    w.Text(kFiles, "Outbound", s.outbound);
    w.Text(kFiles, "DataPath", s.dataPath);
    w.Text(kFiles, "SaveCharset", s.saveCharset);
    w.Text(kDisplay, "ListStrings", s.listStrings);
    w.Text(kMessage, "QuoteChar", s.quoteChar);
    w.Text(kMessage, "ReplyTo", s.replyTo);
    // 2. Only the names of a radio button can be chosen; anything else means none was.
    if (IsPattern(s.cutPattern, {"Top", "Bottom", "Left", "Right"}))
        w.Text(kWindow, "CutPattern", s.cutPattern);
    if (IsPattern(s.setPattern, {"AST", "ATS", "SAT", "STA", "TAS", "TSA"}))
        w.Text(kWindow, "SetPattern", s.setPattern);
    // 3.
    w.Number(kDisplay, "TabCount", s.tabCount);
    // 4.
    for (int i = 0; i < kSetupFonts; ++i)
        w.Font(SetupFontPrefix(i), s.fonts[static_cast<size_t>(i)]);
    w.Number(kFonts, "ClickableColor", s.clickableColor);
    // 5.
    w.Text(kDisplay, "BackPicture", s.backPicture);
    w.Flag(kDisplay, "ShowImage", s.showImage);
    // 6. A pair without a folder is stored empty as a whole.
    const bool posted = !s.postedFolder.empty();
    w.Text(kMessage, "PostedFolder", posted ? s.postedFolder : std::string());
    w.Text(kMessage, "PostedPacket", posted ? s.postedPacket : std::string());
    const bool reserve = !s.reserveFolder.empty();
    w.Text(kMessage, "ReserveFolder", reserve ? s.reserveFolder : std::string());
    w.Text(kMessage, "ReservePacket", reserve ? s.reservePacket : std::string());
    // 8.
    if (bindings)
        (void)bindings->Store(ini);
    // 9.
    w.List(kPrint, "PrintLeftHeader", s.printLeftHeader);
    w.List(kPrint, "PrintRightHeader", s.printRightHeader);
    w.Number(kPrint, "PrintTopMergine", s.printTop);
    w.Number(kPrint, "PrintBottomMergine", s.printBottom);
    w.Number(kPrint, "PrintLeftMergine", s.printLeft);
    w.Number(kPrint, "PrintRightMergine", s.printRight);
    return w.Changed();
}

int32_t MarginValue(std::string_view text) {
    return ToInteger(text);
}

AutoLoadAdd AddAutoLoad(TSList& list, std::string_view chosen, std::string& message) {
    const std::string dir(DirPart(chosen));
    const std::string path = dir + "AREAS";
    message.clear();
    if (!PacketFileExists(path)) {
        message = path + Sjis(" は存在しません");
        return AutoLoadAdd::Missing;
    }
    for (const std::string& entry : list) {
        if (EqualNoCase(entry, path)) {
            message = path + Sjis(" はすでに登録されています");
            return AutoLoadAdd::AlreadyListed;
        }
    }
    list.push_back(path);
    return AutoLoadAdd::Added;
}

std::vector<FolderItem> FolderItems(const std::vector<FolderItem>& open,
                                    std::string_view folder,
                                    std::string_view packet,
                                    int& index) {
    std::vector<FolderItem> items = open;
    index = 0;
    if (folder.empty())
        return items;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].folder == folder && items[i].packet == packet) {
            index = static_cast<int>(i) + 1;
            return items;
        }
    }
    items.push_back({std::string(folder), std::string(packet)});
    index = static_cast<int>(items.size());
    return items;
}

}  // namespace pelorin
