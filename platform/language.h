// The translations the program carries: made by the build from
// resources/po/*.po (cmake/translations.py), into generated/translations.cpp.
#ifndef ZARNOLAUNCH_LANGUAGE_H
#define ZARNOLAUNCH_LANGUAGE_H

// The English texts, in the order of every translation's table.
extern const char *const translatedTexts[];
extern const int translatedTextCount;

struct Translation {
  const char *code;                // "de", "pt_BR"
  const char *const *texts;        // each English text's translation, or null
};
extern const Translation translations[];
extern const int translationCount;

#endif
