#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QFrame;
class QLineEdit;
class QObject;
class QPushButton;
class QWidget;

// One edited colour of a style dialog: a swatch, the hex text and a pick
// button. The field writes colours in its name format ("#RRGGBB" or
// "#AARRGGBB"). A field with an alpha reference remembers there the alpha
// of the colour last written into it, and a six-digit entry takes that
// alpha; the reference is an int of the owning dialog.
struct HexColorField
{
    QFrame* swatch = nullptr;
    QLineEdit* edit = nullptr;
    QPushButton* pickButton = nullptr;
    QColor::NameFormat format = QColor::HexRgb;
    int* alphaReference = nullptr;
};

// The colour the field's text stands for: invalid for empty or unparsable
// text; "#" may be left out. A "#RRGGBB" text takes the remembered alpha
// when there is one below 255.
QColor parseFieldColor(const HexColorField& field);

// Writes a valid colour into the field (upper-case hex in the field's
// format, without raising the edit's signals) and its swatch, and remembers
// its alpha; an invalid colour changes nothing. A "#RRGGBB" field holds
// opaque colours only, so its swatch shows the colour opaque.
void setFieldColor(HexColorField& field, const QColor& color);

// Paints a swatch frame in a valid colour; an invalid one changes nothing.
void applySwatch(QFrame* frame, const QColor& color);

// Asks the colour picker (transparency offered) for a colour, starting from
// the field's colour or white. A cancelled picker changes nothing and gives
// false; otherwise the colour is written, changed() runs and true is given.
bool pickFieldColor(HexColorField& field, QWidget* dialog, const QString& title,
                    const std::function<void()>& changed);

// Wires the field: its pick button picks; a finished edit with a valid
// colour normalises the text; a valid text change, unless *suppress is set,
// repaints the swatch and leaves the text as typed. Each of the three runs
// changed() afterwards; invalid texts change nothing. The field must stay
// at its address while the dialog lives.
void connectField(HexColorField& field, QWidget* dialog, const QString& title, const bool* suppress,
                  const std::function<void()>& changed);

// The look shared by the pick buttons of the style dialogs.
void stylePickButton(QPushButton* button);
