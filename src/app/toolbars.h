// TToolbars: the main window's five toolbars and the positions kept in the settings file.
//
// The toolbars are QToolBars of the main window: they dock at any of its four sides, move in
// rows, and float. Each shows glyph buttons with their hints as tooltips, built from a fixed
// list of button names per toolbar (separators between groups); a button appears when its
// command exists, a separator only between groups that have buttons. A toolbar without any
// button stays out of sight, while the user's choice to show it is kept and stored.
//
//   ToolbarFile (ファイル)     ftbOpen ftbClose ftbNewFolder ftbPrint ftbQuit
//   ToolbarCopy (コピー)       ftbCopy ftbSave ftbDecode ftbFolderCopy
//   ToolbarView (表示)         ftbPrevHist ftbNextHist | ftbPrev ftbNext ftbNextU |
//                              ftbToAreas ftbToList          (docked right, vertical)
//   ToolbarMessage (メッセージ) ftbMail ftbReply ftbNews ftbFollow ftbSendMe
//   ToolbarSort (表示順)       ftbDispThread ftbDispSubj ftbDispFrom ftbDispDate ftbDispNone
//
// Positions: one section per toolbar named after it, with Rev (always 2), Visible (1/0),
// DockedTo (DockTop, DockBottom, DockLeft, DockRight, or "+" when floating), DockRow (the
// toolbar's row in its dock, see toolbars.cpp), DockPos (its offset along the row), FloatLeft
// and FloatTop (its screen position while floating). A section is used only when Rev reads 2; an empty DockedTo leaves the toolbar
// where it is. The docks above the area tree and right of the message list are not separate
// docks here: "DockAreasTop" counts as DockTop and "DockListRight" as DockRight.
#pragma once

#include "store/inifile.h"

#include "app/command_set.h"

#include <QPoint>
#include <QString>

#include <array>
#include <string_view>

class QMainWindow;
class QToolBar;

namespace pelorin {

class TToolbars {
public:
    enum Index { File, Copy, View, Message, Sort, kCount };

    // Creates the toolbars in their default places on `window` and fills them with the
    // buttons of the commands that exist in `commands`.
    TToolbars(QMainWindow& window, const TCommandSet& commands);

    QToolBar* Bar(int index) const { return bars_[static_cast<size_t>(index)]; }
    static std::string_view Name(int index);
    // The toolbar's caption ("ファイル" ...) and the name of its switch in the view menu
    // ("mnuTBFile", "mnuTBCopy", "mnuTBHistry", "mnuTBMessage", "mnuTBSort").
    static QString Caption(int index);
    static std::string_view SwitchName(int index);

    // The user's choice to show a toolbar (what the menu's check marks and Visible show).
    bool Wanted(int index) const { return wanted_[static_cast<size_t>(index)]; }
    void SetWanted(int index, bool on);

    void Restore(TIniF& ini);
    void Save(TIniF& ini);

private:
    struct Place {
        Qt::ToolBarArea area = Qt::TopToolBarArea;
        int row = 0;
        int pos = 0;
        bool floating = false;
        QPoint floatAt;
    };

    void Fill(int index, const TCommandSet& commands);
    void UpdateVisibility(int index);
    Place Current(int index) const;
    void Arrange(const std::array<Place, kCount>& places);

    QMainWindow& window_;
    std::array<QToolBar*, kCount> bars_{};  // owned by the window
    std::array<bool, kCount> wanted_{};     // shown when they have buttons
    std::array<Place, kCount> places_{};    // last known place (for hidden toolbars)
};

}  // namespace pelorin
