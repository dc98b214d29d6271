#include "platform/posix/wine/starter.h"

#include <ctype.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/posix/common/file.h"

static bool needsQuotes(const std::string &word) {
  if (word.empty()) return true;
  for (char c : word)
    if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c == '\n') return true;
  return false;
}

static std::string quoted(const std::string &word, bool always = false) {
  if (!always && !needsQuotes(word)) return word;
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool isAssignment(const std::string &word) {
  size_t equals = word.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  for (size_t i = 0; i < equals; ++i) {
    unsigned char c = (unsigned char)word[i];
    if (!(isalpha(c) || c == '_' || (i > 0 && isdigit(c)))) return false;
  }
  return true;
}

std::string starterText(const std::vector<std::string> &environment,
                        const std::vector<std::string> &command) {
  std::string text;
  for (const std::string &word : environment) {
    size_t equals = word.find('=');
    text += (text.empty() ? "" : " ") + word.substr(0, equals + 1) + quoted(word.substr(equals + 1));
  }
  // A program whose name looks like an assignment stays the program in quotes.
  for (size_t i = 0; i < command.size(); ++i)
    text += (text.empty() ? "" : " ") + quoted(command[i], i == 0 && isAssignment(command[i]));
  return text;
}

bool starterParse(const std::string &text, std::vector<std::string> &environment,
                  std::vector<std::string> &command) {
  environment.clear();
  command.clear();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    // A word runs to the next blank outside quotes; quotes may stand in
    // any part of it (NAME="a value").
    std::string word, unquotedStart;
    bool quotes = false;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
      if (text[i] != '"') {
        word += text[i];
        if (!quotes) unquotedStart += text[i];
        ++i;
        continue;
      }
      quotes = true;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        word += text[i];
      }
      if (i >= text.size()) return false;
      ++i;
    }
    if (command.empty() && isAssignment(unquotedStart))
      environment.push_back(word);
    else
      command.push_back(word);
  }
  return !command.empty();
}

std::vector<std::string> starterCommand(const std::vector<std::string> &command,
                                        const std::string &program, const std::string &address) {
  std::vector<std::string> argv;
  for (const std::string &word : command)
    argv.push_back(word == "%e" ? program : word == "%a" ? address : word.compare(0, 2, "%%") == 0 ? word.substr(1) : word);
  return argv;
}

std::string starterLiteral(const std::string &word) { return word.compare(0, 1, "%") == 0 ? "%" + word : word; }
