// Conversion between the UTF-16 strings used inside Tolvar and the system ANSI code page
// (CP_ACP) that every ...A function of Windows takes. This is the only place that converts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvar {

// Characters the code page lacks become its default character, as WideCharToMultiByte does.
// Embedded code-0 characters are converted like any other.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);
// Nothing when a character has no exact form in the code page (no default character and no
// best-fit stand-in).
std::optional<std::string> ToAnsiExactly(std::wstring_view text);

// A string argument on its way to an ...A call: an absent string becomes a null pointer,
// an empty one a pointer to empty text.
class AnsiArg {
  public:
    explicit AnsiArg(const std::optional<std::wstring>& text);
    explicit AnsiArg(std::wstring_view text) : m_text(ToAnsi(text)) {}
    explicit AnsiArg(const std::wstring& text) : m_text(ToAnsi(text)) {}
    const char* get() const { return m_text ? m_text->c_str() : nullptr; }
    std::size_t size() const { return m_text ? m_text->size() : 0; }

  private:
    std::optional<std::string> m_text;
};

}  // namespace tolvar
