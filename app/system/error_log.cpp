#include "error_log.h"

#include <exception>

namespace tolvar {

namespace {
constexpr char kUnknownException[] = "an exception that is not a std::exception";
constexpr char kNoException[] = "no exception being handled";
}  // namespace

void LogCaughtException(const char* where) noexcept {
    const std::exception_ptr caught = std::current_exception();
    if (!caught) {
        LogFailure(where, kNoException);
        return;
    }
    // Rethrown here only to learn its type; the caller has already decided to go on.
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& error) {
        LogFailure(where, error.what());
    } catch (...) {
        LogFailure(where, kUnknownException);
    }
}

}  // namespace tolvar
