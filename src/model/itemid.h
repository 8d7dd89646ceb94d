#pragma once

#include <QString>

// A fresh identifier for a model item or an edge: a random UUID written
// without braces, 36 lower-case characters in groups 8-4-4-4-12.
QString generateItemId();

// True when text has exactly that form.
bool isGeneratedItemId(const QString& text);
