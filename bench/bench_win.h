// What the benchmarks share of the system: the clock, whole-file writes, files made old enough
// for Wine's profile cache, and a temporary tree.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvar::bench {

// The performance counter in milliseconds; only differences between two readings mean anything.
double NowMs();

// Creates or replaces the file with the bytes; false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Sets every time of the file a minute back: Wine's profile functions cache a file only once it
// is a couple of seconds old, and without the cache every read parses the whole file again.
bool Age(const std::string& path);

// WriteWholeFile, then Age.
bool WriteAged(const std::string& path, std::string_view bytes);

// A new directory under the temporary folder, removed with everything in it when released.
class TempTree {
  public:
    // The directory's name is the prefix, the process id and a count, so a process may hold
    // several at once.
    static std::optional<TempTree> Create(std::string_view prefix);

    TempTree(TempTree&& other) noexcept;
    TempTree& operator=(TempTree&&) = delete;
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree();

    const std::string& path() const { return path_; }

  private:
    explicit TempTree(std::string path);
    std::string path_;
};

}  // namespace tolvar::bench
