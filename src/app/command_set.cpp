// The main window's commands by name (see command_set.h).
#include "app/command_set.h"

#include "app/error_display.h"

#include <QAction>

namespace pelorin {

TCommandSet::TCommandSet(TDialogs& dialogs, QObject* parent)
    : QObject(parent)
    , dialogs_(dialogs) {}

QAction* TCommandSet::Make(std::string_view name, const QString& caption, const QString& hint) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setIconVisibleInMenu(false);
    actions_[std::string(name)] = action;
    return action;
}

QAction* TCommandSet::Add(std::string_view name,
                          const QString& caption,
                          const QString& hint,
                          std::function<void()> handler) {
    QAction* action = Make(name, caption, hint);
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { Guarded(dialogs_, handler); });
    return action;
}

QAction* TCommandSet::AddSwitch(std::string_view name,
                                const QString& caption,
                                const QString& hint,
                                std::function<void(bool)> handler) {
    QAction* action = Make(name, caption, hint);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)](bool on) {
        Guarded(dialogs_, [&] { handler(on); });
    });
    return action;
}

void TCommandSet::Alias(std::string_view name, QAction* action) {
    actions_[std::string(name)] = action;
}

QAction* TCommandSet::Find(std::string_view name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TCommandSet::Enable(std::string_view name, bool on) {
    if (QAction* action = Find(name))
        action->setEnabled(on);
}

void TCommandSet::Enable(std::initializer_list<std::string_view> names, bool on) {
    for (std::string_view name : names) Enable(name, on);
}

void TCommandSet::Check(std::string_view name, bool on) {
    if (QAction* action = Find(name))
        action->setChecked(on);
}

bool TCommandSet::Checked(std::string_view name) const {
    const QAction* action = Find(name);
    return action && action->isChecked();
}

bool TCommandSet::Enabled(std::string_view name) const {
    const QAction* action = Find(name);
    return action && action->isEnabled();
}

void TCommandSet::Show(std::string_view name, bool on) {
    if (QAction* action = Find(name))
        action->setVisible(on);
}

}  // namespace pelorin
