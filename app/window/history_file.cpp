// The window's history procedures: thin calls into the history store at its configured place.
#include <windows.h>

#include "frmTolvar.h"

#include "history_store.h"

namespace tolvar {

void frmTolvar::ReadIniFile() {
    LoadHistory(m_options.historyFile, m_options.sdkRoot, m_history);
}

void frmTolvar::WriteIniFile() {
    SaveHistory(m_options.historyFile, m_options.sdkRoot, m_history);
}

bool frmTolvar::FileExist(const std::wstring& strFileName) {
    const DWORD attributes = GetFileAttributesW(strFileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tolvar
