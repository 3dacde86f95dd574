// Sections, keys and defaults of the program's settings file (<own directory>/pelorin.INI) and
// the keys the main window writes into each packet's GRPSTAT.PBS. Every place that reads or
// writes a setting names it through these constants, so a key's spelling (the program keeps
// its own, such as "LineMergine" and "FixedPich") lives here once. Names are matched without
// regard to case by TIniF ("OutBound" and "Outbound" are one key).
#pragma once

#include <cstdint>
#include <string_view>

namespace pelorin::settings {

using Name = std::string_view;

// ---- [Window]: the main window's bounds and the pane layout.
inline constexpr Name kWindow = "Window";
inline constexpr Name kTop = "Top";
inline constexpr Name kLeft = "Left";
inline constexpr Name kWidth = "Width";
inline constexpr Name kHeight = "Height";
inline constexpr Name kBWidth = "BWidth";          // Panel2 width, or strip width when stacked
inline constexpr Name kBHeight = "BHeight";        // strip height, or Panel2 height when stacked
inline constexpr Name kCutPattern = "CutPattern";  // Top, Bottom, Left, Right
inline constexpr Name kSetPattern = "SetPattern";  // AST, ATS, SAT, STA, TAS, TSA
inline constexpr int32_t kDefaultTop = 0;
inline constexpr int32_t kDefaultLeft = 0;
inline constexpr int32_t kDefaultWidth = 500;
inline constexpr int32_t kDefaultHeight = 300;
inline constexpr int32_t kDefaultBWidth = 100;
inline constexpr int32_t kDefaultBHeight = 80;
inline constexpr Name kDefaultCutPattern = "Top";
inline constexpr Name kDefaultSetPattern = "AST";

// ---- [Display]: view switches and text view settings.
inline constexpr Name kDisplay = "Display";
inline constexpr Name kShowHeaders = "ShowHeaders";        // N
inline constexpr Name kShowStatusBar = "ShowStatusBar";    // Y
inline constexpr Name kPanelPlane = "PanelPlane";          // Y: three panes, N: full window
inline constexpr Name kShowMessageTab = "ShowMessageTab";  // Y
inline constexpr Name kFixedPich = "FixedPich";            // N: single-font display
inline constexpr Name kLineMergine = "LineMergine";        // 0
inline constexpr Name kLeftMergine = "LeftMergine";        // 0
inline constexpr Name kTabCount = "TabCount";              // 4
inline constexpr Name kBackPicture = "BackPicture";        // empty
inline constexpr Name kSortType = "SortType";              // 0 at start-up, 1 for new packets
inline constexpr Name kListStrings = "ListStrings";
inline constexpr Name kDefaultListStrings = "%50(%4L{(%@),}%V%s%) >> %c";
inline constexpr Name kMessageTabString = "MessageTabString";  // "%s": caption of the tabs
inline constexpr Name kDefaultMessageTabString = "%s";
inline constexpr Name kDecodeAsHeader = "DecodeAsHeader";      // N: MIME words in bodies
inline constexpr Name kShowImage = "ShowImage";                // N: pictures of image parts
inline constexpr Name kStatesBarString1 = "StatesBarString1";  // read without a default
inline constexpr int32_t kDefaultLineMergine = 0;
inline constexpr int32_t kDefaultLeftMergine = 0;
inline constexpr int32_t kDefaultTabCount = 4;
inline constexpr int32_t kDefaultSortType = 0;        // as start-up reads it
inline constexpr int32_t kDefaultPacketSortType = 1;  // as opening a packet reads it

// ---- [Fonts]: five fonts of eight keys each (prefix + Name, Size, Color, CharSet, Style...).
inline constexpr Name kFonts = "Fonts";
inline constexpr Name kFontGroups = "Groups";        // area tree
inline constexpr Name kFontSubj = "Subj";            // message list
inline constexpr Name kFontText = "Text";            // text view
inline constexpr Name kFontQuote = "Quote";          // quoted lines
inline constexpr Name kFontMonoSpace = "MonoSpace";  // single-font display
inline constexpr Name kClickableColor = "ClickableColor";
inline constexpr int32_t kDefaultClickableColor = 16711680;  // 0xFF0000: blue in 0x00BBGGRR

// ---- [Files]: directories and packets.
inline constexpr Name kFiles = "Files";
inline constexpr Name kDataPath = "DataPath";
inline constexpr Name kSaveCharset = "SaveCharset";  // "" the locale's, "UTF-8", "Shift_JIS"
inline constexpr Name kOutbound = "Outbound";
inline constexpr Name kControl = "Control";
inline constexpr Name kAutoLoad = "AutoLoad";  // list prefix: AutoLoad0, AutoLoad1, ...
inline constexpr Name kLastSoupPacket = "Last SOUP Packet";

// ---- [Editor], [Message], [KeyBind], [Print].
inline constexpr Name kEditor = "Editor";
inline constexpr Name kExternalEditor = "ExternalEditor";
inline constexpr Name kMessage = "Message";
inline constexpr Name kPackedStr = "PackedStr";          // digest marker; read without a default
inline constexpr Name kReserveFolder = "ReserveFolder";  // empty: messages may be modified there
inline constexpr Name kKeyBind = "KeyBind";
inline constexpr Name kPrint = "Print";
inline constexpr Name kPrintLeftHeader = "PrintLeftHeader";        // list prefix
inline constexpr Name kPrintRightHeader = "PrintRightHeader";      // list prefix
inline constexpr Name kPrintTopMergine = "PrintTopMergine";        // 100, printer dots
inline constexpr Name kPrintBottomMergine = "PrintBottomMergine";  // 100
inline constexpr Name kPrintLeftMergine = "PrintLeftMergine";      // 100
inline constexpr Name kPrintRightMergine = "PrintRightMergine";    // 100
inline constexpr int32_t kDefaultPrintMergine = 100;

// ---- Toolbar sections: one per toolbar, named after it.
inline constexpr Name kRev = "Rev";  // always 2; a section is used only when it reads 2
inline constexpr Name kVisible = "Visible";
inline constexpr Name kDockedTo = "DockedTo";  // dock name, or "+" when floating
inline constexpr Name kDockRow = "DockRow";
inline constexpr Name kDockPos = "DockPos";
inline constexpr Name kFloatLeft = "FloatLeft";
inline constexpr Name kFloatTop = "FloatTop";
inline constexpr int32_t kToolbarRev = 2;

// ---- GRPSTAT.PBS of each packet.
inline constexpr Name kGeneral = "General";
inline constexpr Name kExpanded = "Expanded";  // Y: the packet node is expanded

// The settings file's name in the own directory.
inline constexpr Name kSettingsFileName = "pelorin.INI";

}  // namespace pelorin::settings
