// Windows' %NAME% references, as ExpandEnvironmentStrings replaces them:
// for the registry file's REG_EXPAND_SZ values and a Wine prefix's.
#ifndef ZARNOLAUNCH_POSIX_EXPAND_H
#define ZARNOLAUNCH_POSIX_EXPAND_H

#include <string>

// Replaces each %NAME% whose name lookup knows (lookup returns false for a
// name that is not set).  What is not set stays as it is, and its closing
// '%' may open the next reference, as on Windows; so does a lone '%'.
template <typename Lookup>
std::string expandWindowsVariables(const std::string &text, Lookup lookup) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    size_t open = text.find('%', at);
    if (open == std::string::npos) break;
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, at, open - at);
    std::string value;
    if (close > open + 1 && lookup(text.substr(open + 1, close - open - 1), value)) {
      out += value;
      at = close + 1;
    } else {
      out.append(text, open, close - open);
      at = close;
    }
  }
  out.append(text, at, std::string::npos);
  return out;
}

#endif
