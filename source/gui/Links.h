#pragma once

/** The maker's web pages opened by the editor's link buttons. Change them here. */
namespace Links
{
    inline constexpr const char* website = "https://korvane.example";
    inline constexpr const char* donation = "https://korvane.example/support";
} // namespace Links
