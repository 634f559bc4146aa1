// A request one Tolvar hands to another that already runs with the same history: what its
// command line asked for, and the folder its relative file names are relative to.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "target_list.h"

namespace tolvar {

struct HandedRequest {
    std::wstring historyFile;    // whose window it is for
    std::wstring currentFolder;  // the sender's
    CommandLineRequest::Action action = CommandLineRequest::Action::None;
    RegisterWay way = RegisterWay::Usual;
    std::wstring regFile;             // /export's file, as given on its command line
    std::vector<std::wstring> files;  // as given on its command line

    bool operator==(const HandedRequest&) const = default;
};

// The text that travels: each field ended by a code-0 character, after a mark of this form.
std::wstring EncodeRequest(const HandedRequest& request);
// Nothing for a text that is not one EncodeRequest made.
std::optional<HandedRequest> DecodeRequest(std::wstring_view text);

// A command-line file name as the sender meant it: a full path as it is, a relative one in the
// sender's folder ("\x.dll" on its drive).
std::wstring InFolder(std::wstring_view folder, std::wstring_view file);

}  // namespace tolvar
