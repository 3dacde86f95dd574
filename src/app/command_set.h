// TCommandSet: the main window's commands by name. Each command is one QAction, named after its
// menu item ("mnuClose") and, when it has one, also reachable under its toolbar button's name
// ("ftbClose"): the menu item and the button are the same command, so they are enabled,
// checked and triggered together.
//
// The command states of the main window switch fixed lists of names on and off (see
// command_states.h). A name whose command is not part of the program (yet) is skipped, so the
// lists can name every item the window will ever have while menus and toolbars show only the
// commands that exist.
//
// Triggering a command runs its handler through the general error display (error_display.h).
#pragma once

#include "store/dialogs.h"

#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

class QAction;
class QIcon;

namespace pelorin {

class TCommandSet : public QObject {
    Q_OBJECT

public:
    // `dialogs` shows the errors of handlers; it must outlive the set.
    explicit TCommandSet(TDialogs& dialogs, QObject* parent = nullptr);

    // A command: `name` is the action's object name; `caption` the menu text (with its "&"
    // accelerator); `hint` the tooltip and status-bar text. The handler runs guarded.
    QAction* Add(std::string_view name,
                 const QString& caption,
                 const QString& hint,
                 std::function<void()> handler);
    // A switch: a checkable command; the handler gets the new check state.
    QAction* AddSwitch(std::string_view name,
                       const QString& caption,
                       const QString& hint,
                       std::function<void(bool)> handler);
    // Makes `action` reachable under a second name (its toolbar button's).
    void Alias(std::string_view name, QAction* action);

    // The command of a name; null when the program has no such command.
    QAction* Find(std::string_view name) const;
    bool Has(std::string_view name) const { return Find(name) != nullptr; }

    void Enable(std::string_view name, bool on);
    void Enable(std::initializer_list<std::string_view> names, bool on);
    void Check(std::string_view name, bool on);
    bool Checked(std::string_view name) const;
    bool Enabled(std::string_view name) const;
    void Show(std::string_view name, bool on);

private:
    QAction* Make(std::string_view name, const QString& caption, const QString& hint);

    TDialogs& dialogs_;
    std::map<std::string, QAction*, std::less<>> actions_;  // owned by this object (parent)
};

}  // namespace pelorin
