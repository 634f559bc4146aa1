#include "registry_view.h"

#include <vector>

#include "reg_file.h"

namespace tolvar {

namespace {

constexpr wchar_t kSeparator = L'\\';

// Below a classes root, only these have a 32-bit view: ProgIDs, type libraries, AppIDs and file
// types are shared.
constexpr std::wstring_view kRedirectedClasses[] = {L"CLSID", L"DirectShow", L"Interface",
                                                    L"Media Type", L"MediaFoundation"};

// Below HKEY_LOCAL_MACHINE\Software everything has a 32-bit view but these keys (and what is
// below them), which the system shares since Windows 7. Classes is shared but for the keys above.
constexpr std::wstring_view kSharedSoftware[] = {
    L"Classes",
    L"Clients",
    L"Microsoft\\COM3",
    L"Microsoft\\Cryptography\\Calais\\Current",
    L"Microsoft\\Cryptography\\Calais\\Readers",
    L"Microsoft\\Cryptography\\Services",
    L"Microsoft\\CTF\\SystemShared",
    L"Microsoft\\CTF\\TIP",
    L"Microsoft\\DFS",
    L"Microsoft\\Driver Signing",
    L"Microsoft\\EnterpriseCertificates",
    L"Microsoft\\EventSystem",
    L"Microsoft\\MSMQ",
    L"Microsoft\\Non-Driver Signing",
    L"Microsoft\\Notepad\\DefaultFonts",
    L"Microsoft\\OLE",
    L"Microsoft\\RAS",
    L"Microsoft\\RPC",
    L"Microsoft\\Shared Tools\\MSInfo",
    L"Microsoft\\SystemCertificates",
    L"Microsoft\\TermServLicensing",
    L"Microsoft\\Transaction Server",
    L"Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    L"Microsoft\\Windows\\CurrentVersion\\Group Policy",
    L"Microsoft\\Windows\\CurrentVersion\\Policies",
    L"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Setup",
    L"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    L"Microsoft\\Windows NT\\CurrentVersion\\Console",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    L"Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    L"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    L"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    L"Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    L"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    L"Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    L"Microsoft\\Windows NT\\CurrentVersion\\Ports",
    L"Microsoft\\Windows NT\\CurrentVersion\\Print",
    L"Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    L"Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    L"Policies",
    L"RegisteredApplications",
    kThirtyTwoBitNode,  // the 32-bit view itself, named already
};

wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

std::vector<std::wstring_view> Parts(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    for (;;) {
        const std::size_t end = path.find(kSeparator);
        parts.push_back(path.substr(0, end));
        if (end == std::wstring_view::npos) return parts;
        path.remove_prefix(end + 1);
    }
}

bool IsRedirectedClass(std::wstring_view name) {
    for (const std::wstring_view redirected : kRedirectedClasses) {
        if (SameName(name, redirected)) return true;
    }
    return false;
}

// `rest`, a path from one of its parts on, is the shared key `shared` or lies below it.
bool IsAtOrBelow(std::wstring_view rest, std::wstring_view shared) {
    return rest.size() >= shared.size() && SameName(rest.substr(0, shared.size()), shared) &&
           (rest.size() == shared.size() || rest[shared.size()] == kSeparator);
}

// The index of the part before which WOW6432Node goes; none for a shared key.
std::size_t NodeIndex(const std::vector<std::wstring_view>& parts) {
    constexpr std::size_t kNone = 0;  // a root is never redirected as a whole
    const auto classKeyAt = [&](std::size_t index) {
        return parts.size() > index && IsRedirectedClass(parts[index]) ? index : kNone;
    };
    const auto is = [&](std::size_t index, std::wstring_view name) {
        return parts.size() > index && SameName(parts[index], name);
    };
    if (is(0, kClassesRootName)) return classKeyAt(1);
    if (is(0, kCurrentUserName)) {
        return is(1, L"Software") && is(2, L"Classes") ? classKeyAt(3) : kNone;
    }
    if (!is(0, kLocalMachineName) || !is(1, L"Software") || parts.size() < 3) return kNone;
    if (is(2, L"Classes")) return classKeyAt(3);
    constexpr std::size_t kBelowSoftware = 2;
    const wchar_t* const end = parts.back().data() + parts.back().size();
    const std::wstring_view rest(parts[kBelowSoftware].data(),
                                 static_cast<std::size_t>(end - parts[kBelowSoftware].data()));
    for (const std::wstring_view shared : kSharedSoftware) {
        if (IsAtOrBelow(rest, shared)) return kNone;
    }
    return kBelowSoftware;
}

}  // namespace

std::wstring ThirtyTwoBitViewPath(std::wstring_view path) {
    const std::vector<std::wstring_view> parts = Parts(path);
    const std::size_t node = NodeIndex(parts);
    if (node == 0) return std::wstring(path);
    std::wstring moved(path);
    moved.insert(static_cast<std::size_t>(parts[node].data() - path.data()),
                 std::wstring(kThirtyTwoBitNode) + kSeparator);
    return moved;
}

}  // namespace tolvar
