#pragma once

#include <QString>

class TLangQuery;

// The name that is not a translation: the column gets a generated identifier.
inline constexpr const char* GenIdName = "GEN_ID";
// An empty table has no maximum: without the COALESCE its first identifier, and so every later one,
// would be NULL.
inline constexpr const char* GenIdPattern = "(SELECT COALESCE(MAX(%s), 0)+1 FROM %s)";

// Program directory + "Files/" + name + ".ini".
QString TranslationPath(const QString& name);

// The target value of a source value. GEN_ID gives the identifier pattern; a static translation looks
// the trimmed value up among its pairs; any other type runs the reference statement on lookup (bound to
// the destination) with SOURCE replaced by the value, escaped as the engine reads literals (a
// SOURCE outside quotes takes only a number). Missing or empty results
// give the translation's DEFAULT; a failing lookup is shown in a plain message box and gives empty.
QString TranslateValue(const QString& name, const QString& sourceValue, TLangQuery& lookup);

// Whether the translation name looks its values up among pairs of its own file (no statement runs):
// false for GEN_ID, a reference translation and a file that cannot be read.
bool IsStaticTranslation(const QString& name);
