#include <windows.h>

#include "frmTolvar.h"

#include "ansi.h"

namespace tolvar {

void frmTolvar::ReadIniFile() {}

void frmTolvar::WriteIniFile() {}

bool frmTolvar::FileExist(const std::wstring& strFileName) {
    const DWORD attributes = GetFileAttributesA(ToAnsi(strFileName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tolvar
