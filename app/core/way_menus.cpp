#include "way_menus.h"

namespace tolvar {

namespace {

struct CommandInfo {
    MenuCommand command;
    std::wstring_view dropDownText;  // in a button's drop-down
    std::wstring_view contextText;   // in the context menu
    bool registering;
    RegisterWay way;
};
constexpr CommandInfo kWayCommands[] = {
    {MenuCommand::Register, {}, L"&Register", true, RegisterWay::Usual},
    {MenuCommand::Unregister, {}, L"&Unregister", false, RegisterWay::Usual},
    {MenuCommand::RegisterForMe, L"For &me only", L"Register for &me only", true,
     RegisterWay::ForMeOnly},
    {MenuCommand::UnregisterForMe, L"For &me only", L"Unregister for m&e only", false,
     RegisterWay::ForMeOnly},
    {MenuCommand::RegisterAsAdministrator, L"As &administrator", L"Register as &administrator",
     true, RegisterWay::AsAdministrator},
    {MenuCommand::UnregisterAsAdministrator, L"As &administrator", L"Unregister as a&dministrator",
     false, RegisterWay::AsAdministrator},
    {MenuCommand::SaveRegFile, L"&Save as .reg file\u2026", L"&Save as .reg file\u2026", true,
     RegisterWay::ToRegFile},
};

const CommandInfo* Find(MenuCommand command) {
    for (const CommandInfo& info : kWayCommands) {
        if (info.command == command) return &info;
    }
    return nullptr;
}

// The item for a way, greyed with its reason; nothing for As administrator while Tolvar has the
// rights already, which nothing could give it.
std::optional<MenuItem> WayItem(MenuCommand command, bool inContextMenu, const WayTarget& target,
                                bool elevated) {
    const CommandInfo& info = *Find(command);
    if (info.way == RegisterWay::AsAdministrator && elevated) return std::nullopt;
    MenuItem item{command, std::wstring(inContextMenu ? info.contextText : info.dropDownText),
                  WayRefusal(info.way, info.registering, target, elevated),
                  info.way == RegisterWay::AsAdministrator};
    return item;
}

void Add(std::vector<MenuItem>& menu, std::optional<MenuItem> item) {
    if (item) menu.push_back(std::move(*item));
}

}  // namespace

std::vector<MenuItem> DropDownMenu(bool registering, const WayTarget& target, bool elevated) {
    std::vector<MenuItem> menu;
    const auto add = [&](MenuCommand command) {
        Add(menu, WayItem(command, false, target, elevated));
    };
    add(registering ? MenuCommand::RegisterForMe : MenuCommand::UnregisterForMe);
    add(registering ? MenuCommand::RegisterAsAdministrator
                    : MenuCommand::UnregisterAsAdministrator);
    if (registering) add(MenuCommand::SaveRegFile);
    return menu;
}

std::vector<MenuItem> ContextMenu(const WayTarget& target, bool elevated) {
    std::vector<MenuItem> menu;
    const auto add = [&](MenuCommand command) {
        Add(menu, WayItem(command, true, target, elevated));
    };
    const MenuItem separator{MenuCommand::Separator, {}, std::nullopt, false};
    add(MenuCommand::Register);
    add(MenuCommand::Unregister);
    menu.push_back(separator);
    for (const MenuCommand command :
         {MenuCommand::RegisterForMe, MenuCommand::UnregisterForMe,
          MenuCommand::RegisterAsAdministrator, MenuCommand::UnregisterAsAdministrator,
          MenuCommand::SaveRegFile}) {
        add(command);
    }
    menu.push_back(separator);
    menu.push_back({MenuCommand::OpenLocation, L"Open file &location", std::nullopt, false});
    menu.push_back({MenuCommand::CopyPath, L"&Copy path", std::nullopt, false});
    menu.push_back(separator);
    menu.push_back({MenuCommand::Remove, L"Remove from &history", std::nullopt, false});
    return menu;
}

std::optional<MenuAction> ActionOf(MenuCommand command) {
    const CommandInfo* info = Find(command);
    if (!info) return std::nullopt;
    return MenuAction{info->registering, info->way};
}

}  // namespace tolvar
