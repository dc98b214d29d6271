#include "platform/posix/steam/vdf.h"

#include <stdio.h>

#include "platform/platform.h"

namespace {

enum TokenKind { TOKEN_END, TOKEN_STRING, TOKEN_OPEN, TOKEN_CLOSE, TOKEN_DAMAGED };

struct Token {
  TokenKind kind;
  std::string text;
  bool condition;  // an unquoted token with "[...]" in it
};

struct Reader {
  std::string text;
  size_t at = 0;
  int line = 1;
  std::string why;
};

}  // namespace

static bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static void damaged(Reader &r, const char *what) {
  char where[32];
  snprintf(where, sizeof where, "line %d: ", r.line);
  r.why = where + std::string(what);
}

// Blanks, and "//" comments up to and with the line end.
static void skipBlanks(Reader &r) {
  const std::string &t = r.text;
  for (;;) {
    while (r.at < t.size() && isBlank(t[r.at])) r.line += t[r.at++] == '\n';
    if (t.compare(r.at, 2, "//") != 0) return;
    while (r.at < t.size() && t[r.at] != '\n') ++r.at;
  }
}

// The escapes of Valve's C-string conversion (CUtlCStringConversion).  Any
// other character after a backslash converts to NUL, which ends the string
// where Steam keeps it as a C string; the rest up to the quote is read and
// dropped.
static char escaped(char c) {
  switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'v': return '\v';
    case 'b': return '\b';
    case 'r': return '\r';
    case 'f': return '\f';
    case 'a': return '\a';
    case '\\':
    case '?':
    case '\'':
    case '"': return c;
    default: return 0;
  }
}

static Token readToken(Reader &r) {
  skipBlanks(r);
  const std::string &t = r.text;
  Token token{TOKEN_END, "", false};
  if (r.at >= t.size()) return token;
  char c = t[r.at];
  if (c == '{' || c == '}') {
    ++r.at;
    token.kind = c == '{' ? TOKEN_OPEN : TOKEN_CLOSE;
    return token;
  }
  token.kind = TOKEN_STRING;
  if (c == '"') {
    bool cut = false;
    int opened = r.line;
    for (++r.at; r.at < t.size() && t[r.at] != '"'; ++r.at) {
      c = t[r.at];
      r.line += c == '\n';
      if (c == '\\' && r.at + 1 < t.size()) {
        c = escaped(t[++r.at]);
        r.line += t[r.at] == '\n';
        cut = cut || c == 0;
      }
      if (!cut) token.text += c;
    }
    if (r.at >= t.size()) {
      r.line = opened;
      damaged(r, "a quoted string that the file ends inside");
      token.kind = TOKEN_DAMAGED;
      return token;
    }
    ++r.at;
    return token;
  }
  bool bracket = false;
  for (; r.at < t.size(); ++r.at) {
    c = t[r.at];
    if (c == '"' || c == '{' || c == '}' || isBlank(c)) break;
    bracket = bracket || c == '[';
    token.condition = token.condition || (bracket && c == ']');
    token.text += c;
  }
  return token;
}

static bool containsNoCase(const std::string &text, const char *part) {
  std::string folded;
  for (char c : text) folded += c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
  return folded.find(part) != std::string::npos;
}

// EvaluateConditional as the Linux client answers it: "$WIN32" means any
// desktop computer there, so it holds on Linux too.
static bool conditionHolds(const std::string &token) {
  size_t start = !token.empty() && token[0] == '[';
  bool negated = token.size() > start && token[start] == '!';
  const struct {
    const char *name;
    bool holds;
  } names[] = {{"$X360", false}, {"$WIN32", true},  {"$WINDOWS", false},
               {"$OSX", false},  {"$LINUX", true}, {"$POSIX", true}};
  for (const auto &n : names)
    if (containsNoCase(token, n.name)) return n.holds != negated;
  return false;
}

static bool readNodes(Reader &r, std::vector<VdfNode> &nodes, int depth) {
  for (;;) {
    Token key = readToken(r);
    if (key.kind == TOKEN_DAMAGED) return false;
    if (key.kind == TOKEN_END) {
      if (depth == 0) return true;
      damaged(r, "a block that the file ends inside");
      return false;
    }
    if (key.kind == TOKEN_CLOSE) {
      if (depth > 0) return true;
      damaged(r, "a closing brace without an opening one");
      return false;
    }
    if (key.kind == TOKEN_OPEN || key.text.empty()) {
      damaged(r, key.kind == TOKEN_OPEN ? "a block without a key" : "an empty key");
      return false;
    }
    VdfNode node;
    node.key = key.text;
    Token value = readToken(r);
    bool kept = true;
    if (value.kind == TOKEN_STRING && value.condition) {
      kept = conditionHolds(value.text);
      value = readToken(r);
      if (value.kind == TOKEN_STRING && value.condition) {
        damaged(r, "a condition where a value belongs");
        return false;
      }
    }
    if (value.kind == TOKEN_DAMAGED) return false;
    if (value.kind == TOKEN_END || value.kind == TOKEN_CLOSE) {
      damaged(r, "a key without a value");
      return false;
    }
    if (value.kind == TOKEN_OPEN) {
      if (depth + 1 > vdfDeepestBlock) {
        damaged(r, "blocks nested too deep");
        return false;
      }
      node.block = true;
      if (!readNodes(r, node.children, depth + 1)) return false;
    } else {
      node.value = value.text;
      // A condition may follow the value too.
      size_t at = r.at;
      int line = r.line;
      Token next = readToken(r);
      if (next.kind == TOKEN_STRING && next.condition) {
        kept = conditionHolds(next.text);
      } else {
        r.at = at;
        r.line = line;
      }
    }
    if (kept) nodes.push_back(std::move(node));
  }
}

bool vdfParse(const std::string &text, std::vector<VdfNode> &nodes, std::string &why) {
  Reader r;
  // Steam reads the file as a C string: it ends at the first NUL.
  r.text = text.substr(0, text.find('\0'));
  nodes.clear();
  if (readNodes(r, nodes, 0)) return true;
  why = r.why;
  nodes.clear();
  return false;
}

const VdfNode *vdfFind(const std::vector<VdfNode> &nodes, const char *key) {
  for (const VdfNode &node : nodes)
    if (platCompareNoCase(node.key.c_str(), key) == 0) return &node;
  return nullptr;
}

const VdfNode *vdfFindPath(const std::vector<VdfNode> &nodes, const char *path) {
  const std::vector<VdfNode> *list = &nodes;
  const VdfNode *node = nullptr;
  std::string rest = path;
  for (;;) {
    size_t slash = rest.find('/');
    node = vdfFind(*list, rest.substr(0, slash).c_str());
    if (!node || slash == std::string::npos) return node;
    if (!node->block) return nullptr;
    list = &node->children;
    rest.erase(0, slash + 1);
  }
}

std::string vdfText(const std::vector<VdfNode> &nodes, const char *path) {
  const VdfNode *node = vdfFindPath(nodes, path);
  return node && !node->block ? node->value : "";
}
