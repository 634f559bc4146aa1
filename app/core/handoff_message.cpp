#include "handoff_message.h"

#include <iterator>

namespace tolvar {

namespace {

// Names the form, so that a text of another program or version is refused.
constexpr std::wstring_view kMark = L"Tolvar request 2";
constexpr wchar_t kEnd = L'\0';
constexpr wchar_t kActionDigits[] = {L'0', L'1', L'2'};  // None, Register, Unregister
// Usual, ForMeOnly, AsAdministrator, ToRegFile
constexpr wchar_t kWayDigits[] = {L'0', L'1', L'2', L'3'};

void Append(std::wstring& text, std::wstring_view field) {
    text.append(field).push_back(kEnd);
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace

std::wstring EncodeRequest(const HandedRequest& request) {
    std::wstring text;
    Append(text, kMark);
    Append(text, request.historyFile);
    Append(text, request.currentFolder);
    Append(text, std::wstring_view(&kActionDigits[static_cast<int>(request.action)], 1));
    Append(text, std::wstring_view(&kWayDigits[static_cast<int>(request.way)], 1));
    Append(text, request.regFile);
    for (const std::wstring& file : request.files) Append(text, file);
    return text;
}

std::optional<HandedRequest> DecodeRequest(std::wstring_view text) {
    std::vector<std::wstring_view> fields;
    while (!text.empty()) {
        const std::size_t end = text.find(kEnd);
        if (end == text.npos) return std::nullopt;  // every field is ended
        fields.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    constexpr std::size_t kFixedFields = 6;
    if (fields.size() < kFixedFields || fields[0] != kMark || fields[3].size() != 1 ||
        fields[4].size() != 1) {
        return std::nullopt;
    }
    HandedRequest request;
    request.historyFile = fields[1];
    request.currentFolder = fields[2];
    const wchar_t digit = fields[3][0];
    if (digit < kActionDigits[0] || digit > kActionDigits[std::size(kActionDigits) - 1]) {
        return std::nullopt;
    }
    request.action = static_cast<CommandLineRequest::Action>(digit - kActionDigits[0]);
    const wchar_t way = fields[4][0];
    if (way < kWayDigits[0] || way > kWayDigits[std::size(kWayDigits) - 1]) return std::nullopt;
    request.way = static_cast<RegisterWay>(way - kWayDigits[0]);
    request.regFile = fields[5];
    for (std::size_t i = kFixedFields; i < fields.size(); ++i) {
        request.files.emplace_back(fields[i]);
    }
    return request;
}

std::wstring InFolder(std::wstring_view folder, std::wstring_view file) {
    const bool drive = file.size() >= 2 && file[1] == L':';
    if (drive || folder.empty()) return std::wstring(file);  // full, or on a drive of its own
    if (!file.empty() && IsSeparator(file[0])) {
        if (file.size() >= 2 && IsSeparator(file[1])) return std::wstring(file);  // \\server
        // From the root of the folder's drive.
        const bool folderDrive = folder.size() >= 2 && folder[1] == L':';
        return folderDrive ? std::wstring(folder.substr(0, 2)).append(file) : std::wstring(file);
    }
    std::wstring path(folder);
    if (!IsSeparator(path.back())) path.push_back(L'\\');
    return path.append(file);
}

}  // namespace tolvar
