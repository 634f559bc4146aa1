#include "way_menu_view.h"

#include "dpi.h"
#include "error_log.h"

namespace tolvar {

UniqueBitmap ShieldBitmap(int dpi) {
    // IDI_SHIELD: the user32 icon of the elevation prompt.
    constexpr WORD kShieldIcon = 32518;
    const int size = SystemMetricForDpi(SM_CXSMICON, dpi);
    // A shared icon stays the system's: it has no owner here.
    const auto shield = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(kShieldIcon), IMAGE_ICON, size, size, LR_SHARED));
    if (!shield) return {};
    // A 32-bit top-down DIB with alpha: the form in which a menu draws a bitmap with its
    // transparency.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap) return {};
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    DrawIconEx(dc.get(), 0, 0, shield, size, size, 0, nullptr, DI_NORMAL);
    SelectObject(dc.get(), old);
    return bitmap;
}

MenuCommand TrackMenu(HWND owner, const std::vector<MenuItem>& items, POINT at, UINT flags,
                      HBITMAP shield) {
    const UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        LogFailure("showing a menu", "CreatePopupMenu");
        return MenuCommand::None;
    }
    for (const MenuItem& item : items) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        if (item.command == MenuCommand::Separator) {
            info.fMask = MIIM_FTYPE;
            info.fType = MFT_SEPARATOR;
            InsertMenuItemW(menu.get(), GetMenuItemCount(menu.get()), TRUE, &info);
            continue;
        }
        std::wstring text = item.text;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | (item.shield ? MIIM_BITMAP : 0);
        info.wID = static_cast<UINT>(item.command);
        info.dwTypeData = text.data();
        info.fState = item.refusal ? MFS_DISABLED : MFS_ENABLED;
        info.hbmpItem = item.shield ? shield : nullptr;
        InsertMenuItemW(menu.get(), GetMenuItemCount(menu.get()), TRUE, &info);
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        menu.get(), flags | TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, owner, nullptr));
    return static_cast<MenuCommand>(chosen);
}

}  // namespace tolvar
