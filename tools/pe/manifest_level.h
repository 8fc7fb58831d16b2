// The execution level an application manifest asks Windows for: the level
// attribute of its requestedExecutionLevel element ("asInvoker",
// "highestAvailable" or "requireAdministrator").  A manifest is XML; only
// that one attribute is read or changed, every other byte stays as it is.
#pragma once

#include <string>

// The level in its own spelling, for any ASCII case of a known one; "" otherwise.
std::string CanonicalExecutionLevel(const std::string& text);

// The level as the manifest writes it; "" when it asks for none (no
// requestedExecutionLevel element outside comments, or one without a level).
std::string ReadExecutionLevel(const std::string& manifest);

// The manifest asking for `level` instead, or false with a one-line reason
// when it has no level attribute to change.
bool SetExecutionLevel(const std::string& manifest, const std::string& level, std::string* changed,
                       std::string* error);
