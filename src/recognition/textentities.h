#pragma once

// Titles and attribute rows of recognised entity boxes from the loose text
// runs found in the same picture.

#include <QList>

#include "recognition/recognizeddiagram.h"

// Sorts texts into reading order (in place), gives each run to the box
// holding it (or to a box nearer than 18), and makes the first row of a
// box its title and the further rows its attributes.
void buildEntitiesFromText(QList<RecognizedEntity>& entities, QList<RecognizedText>& texts);
