// The translations the program carries: made by the build from
// resources/po/*.po (cmake/translations.py), into generated/translations.cpp.
#ifndef ZARNOLAUNCH_LANGUAGE_H
#define ZARNOLAUNCH_LANGUAGE_H

// The English texts, in the order of every translation's table.
extern const char *const translatedTexts[];
extern const int translatedTextCount;

struct Translation {
  const char *code;                // "de", "pt_BR"
  // Each English text's translation, or null.  A text for a count has its
  // English singular in translatedTexts, and here its forms one after the
  // other, each ended by its NUL.
  const char *const *texts;
  int (*plural)(unsigned long n);  // which of a count's forms n takes
  int forms;                       // how many forms a text for a count has
};
extern const Translation translations[];
extern const int translationCount;

#endif
