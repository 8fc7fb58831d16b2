// The producer's parsers and writers report a failure by filling the
// caller's error text and answering false, so that a check reads as
// `return Fail(error, "why");`.
#pragma once

#include <string>

inline bool Fail(std::string* error, const std::string& reason) {
  *error = reason;
  return false;
}
