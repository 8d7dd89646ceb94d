#include "interchange/drawiocellrows.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A key, a type and a name.
constexpr int kMaxColumns = 3;

enum class Role { Key, Type, Name };

using Layout = std::array<Role, kMaxColumns>;

// One row drawn as cells: its cells, left to right, and their texts.
struct CellRow
{
    int row = -1;
    QVarLengthArray<int, kMaxColumns> cells;
    QVarLengthArray<QString, kMaxColumns> texts;
    std::array<int, kMaxColumns> slot{{-1, -1, -1}}; // column -> position in cells, or -1
};

// A row that holds no text of its own and one to three cells that hold
// nothing themselves; false for rows of another shape.
bool readCellRow(int rowIndex, const DrawioCellIndex& index, CellRow& out)
{
    const DrawioCell& row = index.cells.at(rowIndex);
    if (!drawioCellPlainText(row).isEmpty())
        return false;
    const auto it = index.children.constFind(row.id);
    if (it == index.children.constEnd() || it->isEmpty() || it->size() > kMaxColumns)
        return false;
    out.row = rowIndex;
    for (const int k : *it) {
        if (index.cells.at(k).id == row.id || index.hasChildren(index.cells.at(k).id))
            return false;
        out.cells.append(k);
    }
    std::stable_sort(out.cells.begin(), out.cells.end(),
                     [&](int a, int b) { return index.cells.at(a).x < index.cells.at(b).x; });
    for (const int k : out.cells)
        out.texts.append(drawioCellPlainText(index.cells.at(k)));
    return true;
}

// How far a column reaches across its row.
struct Span
{
    double left = 0;
    double right = 0;
};

// The column whose span holds the cell's centre, else the nearest one; -1
// when the geometry tells nothing (not a number).
int columnAt(const DrawioCell& cell, const std::vector<Span>& spans)
{
    const double centre = cell.x + cell.width / 2;
    int nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    for (size_t c = 0; c < spans.size(); ++c) {
        if (centre >= spans[c].left && centre < spans[c].right)
            return int(c);
        const double distance = std::min(std::abs(centre - spans[c].left), std::abs(centre - spans[c].right));
        if (distance < best) {
            best = distance;
            nearest = int(c);
        }
    }
    return nearest;
}

// Places each row's cells in the table's columns, which the row with the
// most cells marks out. Where those cells do not stand apart (a file that
// gives every cell x = 0), only rows with a cell in every column are
// placed, in order. False for a row left unplaced. Returns the number of
// columns.
int placeCells(std::vector<CellRow>& rows, std::vector<bool>& placed, const DrawioCellIndex& index)
{
    const auto widest = std::max_element(rows.cbegin(), rows.cend(), [](const CellRow& a, const CellRow& b) {
        return a.cells.size() < b.cells.size();
    });
    const int columns = int(widest->cells.size());
    std::vector<Span> spans;
    for (const int k : widest->cells) {
        const DrawioCell& cell = index.cells.at(k);
        spans.push_back({cell.x, cell.x + cell.width});
    }
    bool apart = true;
    for (int c = 0; c < columns && apart; ++c)
        apart = columnAt(index.cells.at(widest->cells[c]), spans) == c;

    placed.assign(rows.size(), false);
    for (size_t r = 0; r < rows.size(); ++r) {
        CellRow& row = rows[r];
        if (!apart) {
            if (row.cells.size() != columns)
                continue;
            for (int c = 0; c < columns; ++c)
                row.slot[size_t(c)] = c;
            placed[r] = true;
            continue;
        }
        bool clash = false;
        for (int i = 0; i < row.cells.size() && !clash; ++i) {
            const int c = columnAt(index.cells.at(row.cells[i]), spans);
            clash = c < 0 || row.slot[size_t(c)] >= 0;
            if (!clash)
                row.slot[size_t(c)] = i;
        }
        placed[r] = !clash;
    }
    return columns;
}

// What one column holds over the placed rows of a table.
struct ColumnContent
{
    int filled = 0;
    bool allKeys = true;  // every filled cell holds key markers only
    bool allTypes = true; // every filled cell reads as a data type
};

bool onlyKeyMarkers(const QString& text)
{
    DrawioAttribute ignored;
    for (const QString& token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!takeDrawioKeyMarkers(token, ignored))
            return false;
    }
    return true;
}

std::vector<ColumnContent> contentOf(const std::vector<CellRow>& rows, const std::vector<bool>& placed, int columns)
{
    std::vector<ColumnContent> content(static_cast<size_t>(columns));
    for (size_t r = 0; r < rows.size(); ++r) {
        if (!placed[r])
            continue;
        for (int c = 0; c < columns; ++c) {
            const int at = rows[r].slot[size_t(c)];
            if (at < 0 || rows[r].texts[at].isEmpty())
                continue;
            ColumnContent& column = content[size_t(c)];
            const QString& text = rows[r].texts[at];
            ++column.filled;
            // Each test is dropped once a cell has failed it.
            if (column.allKeys)
                column.allKeys = onlyKeyMarkers(text);
            if (column.allTypes)
                column.allTypes = isDrawioTypeWord(text);
        }
    }
    return content;
}

// The roles of the columns that their content allows, the likeliest layout
// first; false when none fits (two columns of names, say).
bool chooseLayout(const std::vector<ColumnContent>& content, Layout& chosen)
{
    using R = Role;
    // The layouts that tables are drawn in, the commonest first.
    static const std::vector<Layout> twoColumns = {
        {{R::Key, R::Name, R::Name}}, {{R::Name, R::Type, R::Name}},
        {{R::Type, R::Name, R::Name}}, {{R::Name, R::Key, R::Name}},
    };
    static const std::vector<Layout> threeColumns = {
        {{R::Key, R::Name, R::Type}}, {{R::Key, R::Type, R::Name}}, {{R::Name, R::Type, R::Key}},
        {{R::Type, R::Name, R::Key}}, {{R::Name, R::Key, R::Type}}, {{R::Type, R::Key, R::Name}},
    };
    const int columns = int(content.size());
    const std::vector<Layout>& layouts = columns == 2 ? twoColumns : threeColumns;
    int bestDoubt = std::numeric_limits<int>::max();
    for (const Layout& layout : layouts) {
        bool fits = true;
        int doubt = 0;
        for (int c = 0; c < columns && fits; ++c) {
            const ColumnContent& column = content[size_t(c)];
            switch (layout[size_t(c)]) {
            case Role::Key:
                fits = column.allKeys;
                break;
            case Role::Type:
                fits = column.allTypes;
                break;
            case Role::Name:
                fits = column.filled > 0;
                // Names that all read as types or keys are a last resort.
                doubt = (column.allTypes ? 1 : 0) + (column.allKeys ? 1 : 0);
                break;
            }
        }
        if (fits && doubt < bestDoubt) {
            bestDoubt = doubt;
            chosen = layout;
        }
    }
    return bestDoubt != std::numeric_limits<int>::max();
}

// The text of the row's cell in the column of the given role; empty when
// the row has none.
QString textOf(const CellRow& row, const Layout& layout, int columns, Role role)
{
    for (int c = 0; c < columns; ++c) {
        if (layout[size_t(c)] == role && row.slot[size_t(c)] >= 0)
            return row.texts[row.slot[size_t(c)]];
    }
    return QString();
}

} // namespace

QList<int> addDrawioCellRows(DrawioEntity& entity, const QList<int>& rows, const DrawioCellIndex& index)
{
    std::vector<CellRow> cellRows;
    QList<int> others;
    for (const int k : rows) {
        CellRow row;
        if (readCellRow(k, index, row))
            cellRows.push_back(std::move(row));
        else
            others.append(k);
    }
    if (cellRows.empty())
        return others;

    std::vector<bool> placed;
    const int columns = placeCells(cellRows, placed, index);
    Layout layout{};
    if (columns < 2 || !chooseLayout(contentOf(cellRows, placed, columns), layout)) {
        // Rows of one cell, or columns that tell nothing: read by their text.
        for (const CellRow& row : cellRows)
            others.append(row.row);
        return others;
    }

    for (size_t r = 0; r < cellRows.size(); ++r) {
        const CellRow& cells = cellRows[r];
        const QString name = placed[r] ? textOf(cells, layout, columns, Role::Name) : QString();
        if (name.isEmpty()) {
            others.append(cells.row);
            continue;
        }
        const DrawioCell& row = index.cells.at(cells.row);
        // The name cell gives the name whatever it reads like, so a column
        // named pk or fk1 is a column; markers after it still count.
        DrawioAttribute attribute = parseDrawioNameCell(name, row.y);
        DrawioAttribute keys;
        const QString keyText = textOf(cells, layout, columns, Role::Key);
        for (const QString& token : keyText.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            takeDrawioKeyMarkers(token, keys);
        const QString type = textOf(cells, layout, columns, Role::Type);
        if (!type.isEmpty())
            attribute.type = attribute.type.isEmpty() ? type : attribute.type + QLatin1Char(' ') + type;
        attribute.primaryKey |= keys.primaryKey;
        attribute.foreignKey |= keys.foreignKey;
        attribute.unique |= keys.unique;
        addDrawioStyleKeys(attribute, row);
        const bool header = !entity.ownExport && attribute.name.compare(entity.title, Qt::CaseInsensitive) == 0
                            && attribute.type.isEmpty();
        if (!header)
            entity.attributes.append(attribute);
    }
    // Rows read one by one by their text come after, which the caller's
    // sort by height puts right.
    std::stable_sort(others.begin(), others.end());
    return others;
}
