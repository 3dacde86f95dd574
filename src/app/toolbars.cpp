// The five toolbars and their stored positions (see toolbars.h).
//
// Rows: Qt lays the toolbars of one side out in lines, in the order they were added, a break
// starting the next line. DockRow is the index of that line (0 the line added first, which
// Qt puts nearest the window's edge for the top and left sides, and nearest the panes for the
// bottom and right sides), DockPos the toolbar's offset along its line. Saving reads both from
// the toolbars' geometry; restoring adds the toolbars of each side again in (row, position)
// order. Qt packs a line from its start, so a position restores the order within the line
// rather than the exact offset.
//
// Floating: a toolbar is made to float the way Qt floats one the user drags off its dock: it
// becomes a frameless tool window while staying in the window's toolbar layout, so that it
// can be dragged back.
#include "app/toolbars.h"

#include "app/glyphs.h"
#include "app/settings_names.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace pelorin {
namespace {

namespace s = settings;

struct BarInfo {
    const char* name;
    const char* caption;  // UTF-8
    const char* switchName;
    Qt::ToolBarArea area;
    // Button groups; a separator goes between groups that show buttons.
    std::vector<std::vector<const char*>> groups;
};

const std::array<BarInfo, TToolbars::kCount>& Infos() {
    static const std::array<BarInfo, TToolbars::kCount> infos = {{
        {"ToolbarFile",
         "ファイル",
         "mnuTBFile",
         Qt::TopToolBarArea,
         {{"ftbOpen", "ftbClose", "ftbNewFolder", "ftbPrint", "ftbQuit"}}},
        {"ToolbarCopy",
         "コピー",
         "mnuTBCopy",
         Qt::TopToolBarArea,
         {{"ftbCopy", "ftbSave", "ftbDecode", "ftbFolderCopy"}}},
        {"ToolbarView",
         "表示",
         "mnuTBHistry",
         Qt::RightToolBarArea,
         {{"ftbPrevHist", "ftbNextHist"},
          {"ftbPrev", "ftbNext", "ftbNextU"},
          {"ftbToAreas", "ftbToList"}}},
        {"ToolbarMessage",
         "メッセージ",
         "mnuTBMessage",
         Qt::TopToolBarArea,
         {{"ftbMail", "ftbReply", "ftbNews", "ftbFollow", "ftbSendMe"}}},
        {"ToolbarSort",
         "表示順",
         "mnuTBSort",
         Qt::TopToolBarArea,
         {{"ftbDispThread", "ftbDispSubj", "ftbDispFrom", "ftbDispDate", "ftbDispNone"}}},
    }};
    return infos;
}

struct DockName {
    std::string_view name;
    Qt::ToolBarArea area;
};
constexpr DockName kDocks[] = {
    {"DockTop", Qt::TopToolBarArea},      {"DockBottom", Qt::BottomToolBarArea},
    {"DockLeft", Qt::LeftToolBarArea},    {"DockRight", Qt::RightToolBarArea},
    {"DockAreasTop", Qt::TopToolBarArea}, {"DockListRight", Qt::RightToolBarArea},
};

std::string_view DockOf(Qt::ToolBarArea area) {
    for (const DockName& d : kDocks) {
        if (d.area == area)
            return d.name;
    }
    return "DockTop";
}

bool FindDock(std::string_view name, Qt::ToolBarArea& area) {
    for (const DockName& d : kDocks) {
        if (d.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), d.name.begin(),
                       [](char a, char b) { return (a | 0x20) == (b | 0x20); })) {
            area = d.area;
            return true;
        }
    }
    return false;
}

bool Horizontal(Qt::ToolBarArea area) {
    return area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea;
}

// Lines of the bottom and right sides are laid out from the panes outwards.
bool LinesFromInside(Qt::ToolBarArea area) {
    return area == Qt::BottomToolBarArea || area == Qt::RightToolBarArea;
}

}  // namespace

TToolbars::TToolbars(QMainWindow& window, const TCommandSet& commands)
    : window_(window) {
    for (int i = 0; i < kCount; ++i) {
        const BarInfo& info = Infos()[static_cast<size_t>(i)];
        auto* bar = new QToolBar(Caption(i), &window);
        bar->setObjectName(QString::fromLatin1(info.name));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->setMovable(true);
        bar->setFloatable(true);
        bar->setIconSize(QSize(16, 16));
        // Shown and hidden only through the menu's switches (which keep the check marks).
        bar->toggleViewAction()->setVisible(false);
        bars_[static_cast<size_t>(i)] = bar;
        window.addToolBar(info.area, bar);
        places_[static_cast<size_t>(i)].area = info.area;
        wanted_[static_cast<size_t>(i)] = true;
        Fill(i, commands);
        UpdateVisibility(i);
    }
}

std::string_view TToolbars::Name(int index) {
    return Infos()[static_cast<size_t>(index)].name;
}

QString TToolbars::Caption(int index) {
    return QString::fromUtf8(Infos()[static_cast<size_t>(index)].caption);
}

std::string_view TToolbars::SwitchName(int index) {
    return Infos()[static_cast<size_t>(index)].switchName;
}

void TToolbars::Fill(int index, const TCommandSet& commands) {
    QToolBar* bar = Bar(index);
    bool any = false;
    for (const auto& group : Infos()[static_cast<size_t>(index)].groups) {
        bool separated = !any;
        for (const char* name : group) {
            QAction* action = commands.Find(name);
            if (!action)
                continue;
            if (!separated) {
                bar->addSeparator();
                separated = true;
            }
            if (action->icon().isNull())
                action->setIcon(ButtonGlyph(name));
            bar->addAction(action);
            if (QWidget* button = bar->widgetForAction(action))
                button->setObjectName(QString::fromLatin1(name));
            any = true;
        }
    }
}

void TToolbars::SetWanted(int index, bool on) {
    wanted_[static_cast<size_t>(index)] = on;
    UpdateVisibility(index);
}

void TToolbars::UpdateVisibility(int index) {
    QToolBar* bar = Bar(index);
    bar->setVisible(Wanted(index) && !bar->actions().isEmpty());
}

TToolbars::Place TToolbars::Current(int index) const {
    QToolBar* bar = Bar(index);
    Place place = places_[static_cast<size_t>(index)];
    if (bar->isHidden())
        return place;  // a hidden toolbar has no geometry of its own: keep what was known
    if (bar->isFloating()) {
        place.floating = true;
        place.floatAt = bar->pos();
        return place;
    }
    place.floating = false;
    place.area = window_.toolBarArea(bar);
    const bool horizontal = Horizontal(place.area);
    // The row: the rank of the toolbar's line among the lines of its side.
    std::vector<int> lines;
    for (QToolBar* other : bars_) {
        if (!other->isHidden() && !other->isFloating() && window_.toolBarArea(other) == place.area)
            lines.push_back(horizontal ? other->y() : other->x());
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    const int mine = horizontal ? bar->y() : bar->x();
    int row = static_cast<int>(std::lower_bound(lines.begin(), lines.end(), mine) - lines.begin());
    if (LinesFromInside(place.area))
        row = static_cast<int>(lines.size()) - 1 - row;
    place.row = row;
    place.pos = horizontal ? bar->x() : bar->y();
    return place;
}

void TToolbars::Arrange(const std::array<Place, kCount>& places) {
    for (QToolBar* bar : bars_) window_.removeToolBar(bar);
    // Docked toolbars, side by side, in (row, position) order; floating ones keep a place in
    // their side's layout (after the docked ones) so that they can be docked again.
    std::map<std::tuple<int, bool, int, int, int>, int> order;
    for (int i = 0; i < kCount; ++i) {
        const Place& p = places[static_cast<size_t>(i)];
        order[{static_cast<int>(p.area), p.floating, p.row, p.pos, i}] = i;
    }
    int lastArea = -1, lastRow = 0;
    for (const auto& [key, i] : order) {
        const Place& p = places[static_cast<size_t>(i)];
        QToolBar* bar = Bar(i);
        if (static_cast<int>(p.area) == lastArea && !p.floating && p.row != lastRow)
            window_.addToolBarBreak(p.area);
        window_.addToolBar(p.area, bar);
        lastArea = static_cast<int>(p.area);
        lastRow = p.row;
        if (p.floating) {
            bar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
            bar->move(p.floatAt);
        } else if (bar->isWindow()) {
            bar->setWindowFlags(Qt::Widget);
        }
        UpdateVisibility(i);
    }
}

void TToolbars::Restore(TIniF& ini) {
    std::array<Place, kCount> places = places_;
    for (int i = 0; i < kCount; ++i) {
        const std::string_view section = Name(i);
        if (ini.ReadInteger(section, s::kRev, 0) != s::kToolbarRev)
            continue;
        wanted_[static_cast<size_t>(i)] = ini.ReadInteger(section, s::kVisible, 1) != 0;
        const std::string docked = ini.ReadString(section, s::kDockedTo, "");
        Place& place = places[static_cast<size_t>(i)];
        if (docked == "+") {
            place.floating = true;
            place.floatAt = QPoint(ini.ReadInteger(section, s::kFloatLeft, 0),
                                   ini.ReadInteger(section, s::kFloatTop, 0));
        } else if (Qt::ToolBarArea area; FindDock(docked, area)) {
            place.floating = false;
            place.area = area;
            place.row = ini.ReadInteger(section, s::kDockRow, 0);
            place.pos = ini.ReadInteger(section, s::kDockPos, 0);
        }
    }
    places_ = places;
    Arrange(places);
}

void TToolbars::Save(TIniF& ini) {
    TIniF::Update batch(ini);
    for (int i = 0; i < kCount; ++i) {
        const Place place = Current(i);
        places_[static_cast<size_t>(i)] = place;
        const std::string_view section = Name(i);
        ini.WriteInteger(section, s::kRev, s::kToolbarRev);
        ini.WriteInteger(section, s::kVisible, Wanted(i) ? 1 : 0);
        ini.WriteString(section, s::kDockedTo, place.floating ? "+" : DockOf(place.area));
        ini.WriteInteger(section, s::kDockRow, place.row);
        ini.WriteInteger(section, s::kDockPos, place.pos);
        ini.WriteInteger(section, s::kFloatLeft, place.floatAt.x());
        ini.WriteInteger(section, s::kFloatTop, place.floatAt.y());
    }
}

}  // namespace pelorin
