// What a target file is, learnt without running any of it: the file is mapped read-only and read
// as a program file, and the DLLs it needs are looked for where the loader would look for a
// program of its processor. Slow on a large dependency tree or a slow disk: call it off the UI
// thread.
#pragma once

#include <optional>
#include <stop_token>
#include <string>

#include "target_facts.h"

namespace tolvar {

// Stops early, with what it knows, once `stop` is requested.
TargetFacts InspectTarget(const std::wstring& path, const std::stop_token& stop);

// The processor a file is for, from its first bytes: quick enough for the UI thread. Nothing when
// it is no program file or cannot be read.
std::optional<PeMachine> ReadMachineOfFile(const std::wstring& path);

}  // namespace tolvar
