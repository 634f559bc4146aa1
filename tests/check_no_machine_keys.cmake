# cmake -DDIR=<dir> -P check_no_machine_keys.cmake: fails when a file under DIR names the
# machine-wide SDK key, in any case. The name is put together here so that this file does not
# name it.
string(CONCAT key "zelvo" "sdk")
file(GLOB_RECURSE files LIST_DIRECTORIES false "${DIR}/*")
set(naming)
foreach(file IN LISTS files)
  file(READ "${file}" text)
  string(TOLOWER "${text}" text)
  string(FIND "${text}" "${key}" at)
  if(NOT at EQUAL -1)
    list(APPEND naming "${file}")
  endif()
endforeach()
if(naming)
  list(JOIN naming "\n  " naming)
  message(FATAL_ERROR "Test files that name the machine-wide SDK key:\n  ${naming}")
endif()
