#pragma once

#include <QByteArray>
#include <QJsonObject>

// The indented text of a JSON object, byte for byte what
// QJsonDocument(object).toJson(QJsonDocument::Indented) gives: four spaces a
// level, keys in the object's order, strings in UTF-8 with the same escapes,
// numbers written the same way. Unlike Qt's writer, which makes room for
// every nested object by copying all the text written so far, it grows its
// buffer geometrically, so that the time stays linear in the size of the
// document (a large project file is written several times faster).
QByteArray toIndentedJson(const QJsonObject& object);
