// What the split buttons' drop-downs and the history list's context menu offer: the ways to
// register, each greyed with its reason where it cannot work.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "register_way.h"

namespace tolvar {

// Menu item ids; 0 is a menu closed without a choice.
enum class MenuCommand : unsigned {
    None = 0,
    Register,
    Unregister,
    RegisterForMe,
    UnregisterForMe,
    RegisterAsAdministrator,
    UnregisterAsAdministrator,
    SaveRegFile,
    OpenLocation,
    CopyPath,
    Remove,
    Separator,
};

struct MenuItem {
    MenuCommand command = MenuCommand::None;
    std::wstring text;
    std::optional<std::wstring> refusal;  // greyed, for this reason
    bool shield = false;                  // it asks for administrator rights
};

// A split button's drop-down: For me only, As administrator (while Tolvar runs without
// elevation) and, on Register, Save as .reg file….
std::vector<MenuItem> DropDownMenu(bool registering, const WayTarget& target, bool elevated);

// The history list's context menu on an entry.
std::vector<MenuItem> ContextMenu(const WayTarget& target, bool elevated);

// What a command does: register or not, and the way.
struct MenuAction {
    bool registering = true;
    RegisterWay way = RegisterWay::Usual;
};
std::optional<MenuAction> ActionOf(MenuCommand command);

}  // namespace tolvar
