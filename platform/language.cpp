// The player's language: which of the translations (generated from
// resources/po/*.po into a table the program carries) a player reads.
#include <stdio.h>
#include <string.h>

#include "platform/language.h"
#include "platform/platform.h"

// A wanted language matches a translation of that very code ("pt_BR"); one
// without a region matches by its language alone ("pt" takes "pt_BR"), as
// gettext's codes run from the most to the least particular.  Chinese is
// written in two scripts: the Simplified translation (zh_CN) serves the
// places that write it, and never Taiwan, Hong Kong or Macau.
static bool matches(const char *wanted, const char *code) {
  if (strcmp(wanted, code) == 0) return true;
  if (strcmp(code, "zh_CN") == 0)
    return strcmp(wanted, "zh_SG") == 0 || strcmp(wanted, "zh_Hans") == 0 || strcmp(wanted, "zh") == 0;
  size_t length = strcspn(code, "_");
  return strlen(wanted) == length && strncmp(wanted, code, length) == 0;
}

// Reads a wanted code down to its language and region: "pt_BR.UTF-8@euro"
// and "pt-BR" are "pt_BR".
static void plain(const char *wanted, char *buf, size_t size) {
  size_t n = strcspn(wanted, ".@");
  if (n >= size) n = size - 1;
  memcpy(buf, wanted, n);
  buf[n] = '\0';
  for (char *p = buf; *p; ++p)
    if (*p == '-') *p = '_';
}

// The index of the player's translation, -1 for English; looked up once.
static int chosenLanguage(void) {
  static int chosen = -2;
  if (chosen != -2) return chosen;
  chosen = -1;
  char raw[64], wanted[64];
  for (int i = 0; chosen < 0 && platLanguage(i, raw, sizeof raw); ++i) {
    plain(raw, wanted, sizeof wanted);
    if (strcmp(wanted, "en") == 0 || strncmp(wanted, "en_", 3) == 0) break;
    // The code, then its language alone ("pt_PT", then "pt").
    for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
      if (pass == 1 && strncmp(wanted, "zh_", 3) != 0) wanted[strcspn(wanted, "_")] = '\0';
      for (int l = 0; l < translationCount && chosen < 0; ++l)
        if (matches(wanted, translations[l].code)) chosen = l;
    }
  }
  return chosen;
}

// The conversions of a printf format, in order ("%s", "%ld"; "%%" is none),
// as the letters that end them.  A translation is used only when it has
// the English text's: printf would read the wrong arguments otherwise.
static bool sameConversions(const char *a, const char *b) {
  for (;;) {
    while (*a && !(a[0] == '%' && a[1] != '%')) a += a[0] == '%' ? 2 : 1;
    while (*b && !(b[0] == '%' && b[1] != '%')) b += b[0] == '%' ? 2 : 1;
    if (!*a || !*b) return !*a && !*b;
    size_t endA = strcspn(a + 1, "diouxXcspfeEgG") + 1, endB = strcspn(b + 1, "diouxXcspfeEgG") + 1;
    if (endA != endB || strncmp(a, b, endA + 1) != 0) return false;
    a += endA + (a[endA] ? 1 : 0);
    b += endB + (b[endB] ? 1 : 0);
  }
}

// The translation of english into the player's language, when it has one.
static const char *translationOf(const char *english) {
  int language = chosenLanguage();
  if (language < 0) return nullptr;
  const Translation &translation = translations[language];
  for (int i = 0; i < translatedTextCount; ++i)
    if (strcmp(translatedEnglish + translatedEnglish_at[i], english) == 0)
      return translation.at[i] < 0 ? nullptr : translation.texts + translation.at[i];
  return nullptr;
}

const char *platText(const char *english) {
  const char *text = translationOf(english);
  return text && sameConversions(english, text) ? text : english;
}

const char *platCountText(const char *singular, const char *plural, unsigned long n) {
  const char *english = n == 1 ? singular : plural;
  const char *form = translationOf(singular);
  if (!form) return english;
  const Translation &language = translations[chosenLanguage()];
  int wanted = language.plural(n);
  for (int i = 0; i < wanted && i < language.forms - 1; ++i) form += strlen(form) + 1;
  return sameConversions(english, form) ? form : english;
}

bool platTranslating(void) { return chosenLanguage() >= 0; }

void platFormatTexts(char *english, unsigned long englishSize, char *shown, unsigned long shownSize,
                     const char *next, const char *format, va_list args) {
  va_list again;
  va_copy(again, args);
  vsnprintf(english, englishSize, format, args);
  size_t length = (size_t)vsnprintf(shown, shownSize, platText(format), again);
  va_end(again);
  if (next && length < shownSize) snprintf(shown + length, shownSize - length, "\n\n%s", platText(next));
}
