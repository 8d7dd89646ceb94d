// Reading one line of text: the ink of the line cut into letters, the
// letters matched against the templates, spaces and column rules placed
// between them.

#include "recognition/glyphrecognition.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Pieces of ink this small are dropped at once; a few more pixels serve
// only as the dots of i and j, dropped unless they join a letter.
constexpr int SpeckPixelsBelow = 2;
constexpr int LetterPixelsLeast = 4;
// Ink lower than this is a flat stroke (a hyphen, an underscore), not a letter.
constexpr int LetterRowsLeast = 4;
// Rules and the edges of bands: wider than this many line heights and
// than half the line.
constexpr int WideStrokeLineHeights = 3;
// Column rules of a table are at most this wide.
constexpr int RuleWidthMost = 4;
// A word space is about this share of the capital height, at least a few
// pixels.
constexpr double WordSpaceShare = 0.33;
constexpr int WordSpaceLeast = 3;
// A stem shorter than this share of the capitals is an i that lost its dot.
constexpr double ShortStemShare = 0.85;
// A letter matched worse than this and at least this share of the capital
// height wide may be letters run together.
constexpr double RunTogetherScoreBelow = 0.85;
constexpr double RunTogetherWidthShare = 0.7;
// The pieces replace the whole only when they read better by this much.
constexpr double PiecesBetterBy = 0.08;
// Letters all at least this share of the tallest may be small letters
// only, the tallest of them a t (as high as 1.3 small letters, where
// ascenders stand 1.4 high and more); their reading wins when better by
// this much.
constexpr double EvenHeightShare = 0.85;
constexpr double SmallLettersBetterBy = 0.02;

struct Blob
{
    int left, top, right, bottom;
    int pixels = 0;
    bool dotted = false;  // a small piece joined from above
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Blob unite(const Blob& a, const Blob& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom), a.pixels + b.pixels};
}

bool intersects(const Blob& a, const Blob& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

template<typename T>
T median(std::vector<T> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// I and l look alike in most sans faces: inside a word of capitals it is
// an I, inside a word of small letters an l.
QString settleAmbiguousLetters(QString text)
{
    // 0 and 6 look like o in many faces: between small letters they are.
    for (int i = 1; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('0') && text.at(i) != QLatin1Char('6'))
            continue;
        int end = i;
        while (end < text.size() && (text.at(end) == QLatin1Char('0') || text.at(end) == QLatin1Char('6')))
            ++end;
        if (end < text.size() && text.at(i - 1).isLower() && text.at(end).isLower()) {
            for (int k = i; k < end; ++k)
                text[k] = QLatin1Char('o');
        }
        i = end;
    }
    int wordStart = 0;
    for (int i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text.at(i).isLetter())
            continue;
        int upper = 0, lower = 0;
        for (int k = wordStart; k < i; ++k) {
            const QChar c = text.at(k);
            if (c == QLatin1Char('I') || c == QLatin1Char('l'))
                continue;
            upper += c.isUpper();
            lower += c.isLower();
        }
        for (int k = wordStart; k < i; ++k) {
            if (upper > 0 && lower == 0 && text.at(k) == QLatin1Char('l'))
                text[k] = QLatin1Char('I');
            else if (lower > 0 && upper == 0 && text.at(k) == QLatin1Char('I'))
                text[k] = QLatin1Char('l');
        }
        wordStart = i + 1;
    }
    return text;
}

// Connected ink (0) of the crop, eight neighbours, found column by column
// and sorted by left edge; specks below SpeckPixelsBelow left out.
std::vector<Blob> findInkBlobs(const QImage& crop)
{
    const int w = crop.width(), h = crop.height();
    std::vector<uchar> visited(static_cast<size_t>(w) * h, 0);
    std::vector<Blob> blobs;
    std::vector<QPoint> queue;
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    const auto isInk = [&](int x, int y) { return crop.constScanLine(y)[x] == 0; };
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if (visited[static_cast<size_t>(y) * w + x] || !isInk(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            Blob blob{x, y, x, y};
            for (size_t head = 0; head < queue.size(); ++head) {
                const QPoint p = queue[head];
                blob.left = std::min(blob.left, p.x());
                blob.right = std::max(blob.right, p.x());
                blob.top = std::min(blob.top, p.y());
                blob.bottom = std::max(blob.bottom, p.y());
                for (int k = 0; k < 8; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    uchar& seen = visited[static_cast<size_t>(ny) * w + nx];
                    if (seen || !isInk(nx, ny))
                        continue;
                    seen = 1;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            blob.pixels = int(queue.size());
            if (blob.pixels >= SpeckPixelsBelow)
                blobs.push_back(blob);
        }
    }
    std::stable_sort(blobs.begin(), blobs.end(), [](const Blob& a, const Blob& b) { return a.left < b.left; });
    return blobs;
}

// Dots and broken strokes back onto their letters.
void joinPiecesOfLetters(std::vector<Blob>& blobs)
{
    size_t i = 0;
    while (i + 1 < blobs.size()) {
        const Blob& a = blobs[i];
        const Blob& b = blobs[i + 1];
        const int cx = (b.left + b.right) / 2;
        const bool stacked = a.left - 1 <= cx && cx <= a.right + 1 && (b.bottom <= a.top + 1 || a.bottom <= b.top + 1);
        // Pieces of a broken stroke share columns; a narrow letter standing
        // a pixel beside the next one does not.
        const Blob grown{a.left - 1, a.top - 1, a.right + 1, a.bottom + 1};
        const bool touching = intersects(grown, b) && std::min(a.width(), b.width()) <= 3 && b.left <= a.right;
        if (stacked || touching) {
            const Blob& small = a.pixels <= b.pixels ? a : b;
            const Blob& large = a.pixels <= b.pixels ? b : a;
            const bool dot = stacked && small.bottom <= large.top + 1 && small.pixels * 4 <= large.pixels;
            const bool dotted = a.dotted || b.dotted || dot;
            blobs[i] = unite(a, b);
            blobs[i].dotted = dotted;
            blobs.erase(blobs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }
}

// Thin strokes running through the whole line and on beyond it, above and
// below, are the column rules of a table, not letters.
struct RuleTest
{
    const QImage& image;  // the whole binarised picture
    QRect line;           // the line within it

    bool operator()(const Blob& blob) const
    {
        if (blob.width() > RuleWidthMost || blob.top > 0 || blob.bottom < line.height() - 1 || line.top() == 0
            || line.bottom() >= image.height() - 1)
            return false;
        const auto inkAcross = [&](int y) {
            for (int x = blob.left; x <= blob.right; ++x) {
                if (image.pixelColor(line.left() + x, y).value() < 128)
                    return true;
            }
            return false;
        };
        return inkAcross(line.top() - 1) && inkAcross(line.bottom() + 1);
    }
};

struct LineMetrics;
bool cutJoinedUnderscores(QImage& crop, const std::vector<Blob>& letters, const LineMetrics& m);

// Where the letters of a line stand and how far apart.
struct LineMetrics
{
    int baseline = 0;     // the row most letters end on
    int tallest = 0;      // capitals and ascenders (small letters when alone)
    int shortest = 0;
    int lineHeight = 0;   // rows from the highest ink to the lowest
    int spaceGap = 0;     // a gap wider than this is a word space
    bool fixedPitch = false;
    int typicalWidth = 0;

    // The empty side that a narrow letter brings along.
    int sidePad(const Blob& blob) const
    {
        if (fixedPitch)
            return std::max(0, (typicalWidth - blob.width()) / 3);
        return blob.width() * 4 <= tallest ? 1 : 0;
    }
};

// The baseline is where most letters end; the tallest letter standing on
// it gives the height of capitals and ascenders, or of the small letters
// when the line has none.
void measureHeights(const std::vector<Blob>& letters, int h, LineMetrics& m)
{
    int baseline = letters.front().bottom, votes = -1;
    for (const Blob& candidate : letters) {
        int count = 0;
        for (const Blob& other : letters)
            count += std::abs(other.bottom - candidate.bottom) <= 1;
        if (count > votes || (count == votes && candidate.bottom < baseline)) {
            votes = count;
            baseline = candidate.bottom;
        }
    }
    int tallest = 0, shortest = h;
    for (const Blob& blob : letters) {
        if (std::abs(blob.bottom - baseline) <= 1 && !blob.dotted) {
            tallest = std::max(tallest, baseline - blob.top + 1);
            shortest = std::min(shortest, baseline - blob.top + 1);
        }
    }
    if (tallest == 0)
        tallest = baseline - std::min_element(letters.begin(), letters.end(), [](const Blob& x, const Blob& y) {
                                  return x.top < y.top; })->top + 1;
    int inkTop = h, inkBottom = -1;
    for (const Blob& blob : letters) {
        inkTop = std::min(inkTop, blob.top);
        inkBottom = std::max(inkBottom, blob.bottom);
    }
    m.baseline = baseline;
    m.tallest = tallest;
    m.shortest = shortest;
    m.lineHeight = std::min(h, inkBottom - inkTop + 1);
}

// Bold letters and tight faces join an underscore to the letters on
// either side ("k_p" one piece of ink, far wider than a letter): the
// underscore's rows, below the baseline, are cut from the crop so that the
// letters stand apart, and the underscore stays as a flat stroke of its
// own under the gap. True when anything was cut.
bool cutJoinedUnderscores(QImage& crop, const std::vector<Blob>& letters, const LineMetrics& m)
{
    // A piece wider than this many capital heights may hold an underscore;
    // its stroke runs at least this share of the piece under the letters.
    constexpr double JoinedWidthShare = 1.3;
    constexpr double StrokeShare = 0.5;
    bool cut = false;
    for (const Blob& blob : letters) {
        if (blob.width() <= JoinedWidthShare * m.tallest || blob.bottom <= m.baseline)
            continue;
        std::vector<std::pair<int, std::pair<int, int>>> rows;   // row, first and last column of its longest run
        for (int y = m.baseline + 1; y <= std::min(blob.bottom, m.baseline + std::max(2, m.tallest / 4)); ++y) {
            const uchar* line = crop.constScanLine(y);
            int best = 0, bestFrom = 0, run = 0;
            for (int x = blob.left; x <= blob.right + 1; ++x) {
                if (x <= blob.right && line[x] == 0) {
                    ++run;
                    continue;
                }
                if (run > best) {
                    best = run;
                    bestFrom = x - run;
                }
                run = 0;
            }
            if (best >= StrokeShare * blob.width() && best >= m.tallest / 2)
                rows.push_back({y, {bestFrom, bestFrom + best - 1}});
        }
        // A stroke of a row or two, the rows above it letters.
        if (rows.empty() || rows.size() > 3)
            continue;
        for (const auto& row : rows) {
            uchar* line = crop.scanLine(row.first);
            // The ends of the stroke stay: they keep the underscore's extent
            // apart from the letters once cut.
            for (int x = row.second.first + 1; x < row.second.second; ++x)
                line[x] = 255;
            line[row.second.first] = 255;
            line[row.second.second] = 255;
        }
        // The underscore itself, drawn back one row lower where the letters
        // do not reach: under the gap between the letters it joined.
        const int y = rows.back().first;
        uchar* line = crop.scanLine(y);
        int from = -1;
        const uchar* over = crop.constScanLine(std::max(0, y - 1));
        for (int x = rows.back().second.first; x <= rows.back().second.second; ++x) {
            // Not even touching a letter's corner.
            const bool above = over[x] == 0 || (x > 0 && over[x - 1] == 0) || (x + 1 < crop.width() && over[x + 1] == 0);
            if (!above && from < 0)
                from = x;
            if ((above || x == rows.back().second.second) && from >= 0) {
                for (int k = from; k < x; ++k)
                    line[k] = 0;
                from = -1;
            }
        }
        cut = true;
    }
    return cut;
}

// Wide gaps alone do not make a fixed pitch (small text of some faces is
// set loosely): the letters must also stand at even distances, centre to
// centre, whatever their widths.
bool standsAtEvenPitch(const std::vector<Blob>& letters, int typicalGap)
{
    // Steps off their median by at most this share of it are even.
    constexpr double EvenStepShare = 0.12;
    std::vector<double> steps;
    for (size_t k = 1; k < letters.size(); ++k) {
        if (letters[k].left - letters[k - 1].right <= 2 * typicalGap)
            steps.push_back(0.5 * (letters[k].left + letters[k].right - letters[k - 1].left - letters[k - 1].right));
    }
    if (steps.size() < 3)
        return false;
    const double step = median(steps);
    std::vector<double> spread;
    for (const double d : steps)
        spread.push_back(std::abs(d - step));
    return median(spread) <= std::max(1.0, EvenStepShare * step);
}

// Letters of a fixed-pitch face stand wide apart, the narrow ones (i, l,
// r) farther still: a word space is then clearly wider than the usual gap
// between the letters of the line, counted without the sides that narrow
// letters leave empty. In other faces only i, l, j and t stand a pixel
// farther off.
void measureSpacing(const std::vector<Blob>& letters, LineMetrics& m)
{
    m.spaceGap = std::max(WordSpaceLeast, int(std::lround(WordSpaceShare * m.tallest)));
    std::vector<int> widths, gaps;
    for (size_t k = 0; k < letters.size(); ++k) {
        widths.push_back(letters[k].width());
        if (k > 0)
            gaps.push_back(letters[k].left - letters[k - 1].right);
    }
    m.typicalWidth = median(widths);
    const int typicalGap = gaps.size() >= 3 ? median(gaps) : 0;
    // Gaps wider than a quarter of the capitals may be a fixed pitch.
    m.fixedPitch = typicalGap * 4 > m.tallest && standsAtEvenPitch(letters, typicalGap);
    if (m.fixedPitch) {
        gaps.clear();
        for (size_t k = 1; k < letters.size(); ++k)
            gaps.push_back(letters[k].left - letters[k - 1].right - m.sidePad(letters[k]) - m.sidePad(letters[k - 1]));
        m.spaceGap = std::max(m.spaceGap, median(gaps) + std::max(2, m.tallest * 3 / 20));
    }
}

// The letters of a line read against one set of templates.
class LineReader
{
public:
    LineReader(const QImage& crop, const std::vector<Blob>& blobs, const LineMetrics& metrics, const RuleTest& isRule,
               const QList<GlyphTemplate>& templates)
        : crop(crop), blobs(blobs), m(metrics), isRule(isRule), templates(templates)
    {
    }

    // The text, with the mean agreement of the letters read in total.
    QString read(double* total)
    {
        for (const Blob& blob : blobs) {
            if (isSolidMark(blob))
                continue;
            if (isFlatStroke(blob))
                readFlatStroke(blob);
            else if (isRule(blob))
                readRule(blob);
            else
                readLetter(blob);
        }
        *total = matched > 0 ? sum / matched : 0;
        return text;
    }

private:
    bool isInk(int x, int y) const { return crop.constScanLine(y)[x] == 0; }

    // Lower than a letter, or, in bold text, as low as a quarter of the
    // capitals and three times as wide as high: a hyphen or an underscore.
    bool isFlatStroke(const Blob& blob) const
    {
        return blob.height() < LetterRowsLeast || (blob.height() * 4 <= m.tallest && blob.width() >= 3 * blob.height());
    }

    // Icons beside names (a table, a key) are filled squares, at least
    // half as high as the capitals: no letter is that solid.
    bool isSolidMark(const Blob& blob) const
    {
        constexpr double SolidShare = 0.85;
        const int w = blob.width(), h = blob.height();
        return h >= LetterRowsLeast && 2 * h >= m.tallest && w * 3 >= h * 2 && h * 3 >= w * 2
            && blob.pixels >= SolidShare * w * h;
    }

    QChar matchPart(const QRect& part, double* score) const
    {
        return matchInkShape(inkShape(crop, part, m.baseline), templates, score);
    }

    // An o whose right side is open in the middle is a c. Small letters
    // bring the ends of a c close together: only the two middle rows are
    // sure to be open.
    bool openOnRight(const QRect& part) const
    {
        const int x0 = std::max(part.left(), part.right() - std::max(1, part.width() / 5));
        const int middle = part.top() + part.height() / 2;
        const int first = part.height() < 10 ? middle - 1 : part.top() + part.height() * 2 / 5;
        const int last = part.height() < 10 ? middle : part.top() + part.height() * 3 / 5;
        for (int y = first; y <= last; ++y) {
            for (int x = x0; x <= part.right(); ++x) {
                if (isInk(x, y))
                    return false;
            }
        }
        return true;
    }

    // ... and a c whose right side is drawn through the middle an o.
    bool closedOnRight(const QRect& part) const
    {
        const int middle = part.top() + part.height() / 2;
        for (int y = middle - 1; y <= middle; ++y) {
            if (!isInk(part.right(), y) && !isInk(part.right() - 1, y))
                return false;
        }
        return true;
    }

    // An o crossed by a bar through its middle, with paper inside above and
    // below the bar, is an e whose open end a bolder cut closed (a bold o
    // whose hole closed up has no paper on either side).
    bool barredAcross(const QRect& part) const
    {
        const int centre = part.left() + part.width() / 2;
        const auto paperAtCentre = [&](int from, int to) {
            for (int y = from; y <= to; ++y) {
                if (!isInk(centre, y))
                    return true;
            }
            return false;
        };
        for (int y = part.top() + part.height() * 3 / 10; y <= part.top() + part.height() * 6 / 10; ++y) {
            bool across = true;
            for (int x = part.left(); x <= part.right() && across; ++x)
                across = isInk(x, y);
            if (across && paperAtCentre(part.top() + 1, y - 1) && paperAtCentre(y + 1, part.bottom() - 1))
                return true;
        }
        return false;
    }

    QChar settle(QChar c, const QRect& part, bool dotted) const
    {
        if (c == QLatin1Char('o') && part.width() >= 5 && part.height() >= 6 && barredAcross(part))
            c = QLatin1Char('e');
        else if (c == QLatin1Char('o') && part.width() >= 4 && openOnRight(part))
            c = QLatin1Char('c');
        else if (c == QLatin1Char('c') && part.width() >= 4 && closedOnRight(part))
            c = QLatin1Char('o');
        // A bracket's stem stands on its open side's opposite: the side of
        // more ink tells [ from ].
        if ((c == QLatin1Char('[') || c == QLatin1Char(']')) && part.width() >= 3) {
            int left = 0, right = 0;
            for (int y = part.top(); y <= part.bottom(); ++y) {
                left += isInk(part.left(), y);
                right += isInk(part.right(), y);
            }
            if (left != right)
                c = left > right ? QLatin1Char('[') : QLatin1Char(']');
        }
        if (dotted && (c == QLatin1Char('l') || c == QLatin1Char('I') || c == QLatin1Char('1')))
            c = QLatin1Char('i');
        if ((c == QLatin1Char('l') || c == QLatin1Char('I')) && part.height() < ShortStemShare * m.tallest)
            c = QLatin1Char('i');
        return c;
    }

    // A flat stroke at least as wide as a stem is a hyphen or, low on the
    // line, an underscore; other specks are skipped.
    void readFlatStroke(const Blob& blob)
    {
        const bool alone = std::none_of(blobs.begin(), blobs.end(), [&](const Blob& other) {
            return &other != &blob && !isFlatStroke(other)
                && std::min(other.right, blob.right) - std::max(other.left, blob.left) + 1 > blob.width() / 2;
        });
        if (!alone || blob.width() < 3 || blob.width() < 2 * blob.height() || blob.width() > m.lineHeight)
            return;
        if (hasPrevious && blob.left - prevRight > m.spaceGap)
            text.append(QLatin1Char(' '));
        const double middle = (blob.top + blob.bottom) / 2.0;
        text.append(middle > m.baseline - 0.1 * m.tallest ? QLatin1Char('_') : QLatin1Char('-'));
        prevRight = blob.right;
        hasPrevious = true;
    }

    void readRule(const Blob& blob)
    {
        text.append(QLatin1String(" | "));
        prevRight = blob.right;
        hasPrevious = false;
    }

    void readLetter(const Blob& blob)
    {
        if (hasPrevious) {
            // Narrow letters (i, l, j, t) stand farther from their
            // neighbours; a gap far wider than a word space parts the
            // columns of a table.
            const int gap = blob.left - prevRight - prevPad - m.sidePad(blob);
            if (gap > std::max(3 * m.spaceGap, m.tallest + 2))
                text.append(QLatin1String(" | "));
            else if (gap > m.spaceGap)
                text.append(QLatin1Char(' '));
        }
        prevPad = m.sidePad(blob);
        const QRect whole(blob.left, blob.top, blob.width(), blob.height());
        double score = 0;
        const QChar c = matchPart(whole, &score);
        if (score < RunTogetherScoreBelow && blob.width() >= RunTogetherWidthShare * m.tallest
            && readRunTogether(blob, c, score))
            return;
        if (!c.isNull()) {
            text.append(settle(c, whole, blob.dotted));
            sum += score;
            ++matched;
        }
        prevRight = blob.right;
        hasPrevious = true;
    }

    // Letters run together: cut off, from the left, the piece that reads
    // best, as long as the pieces read better than the whole (c at score).
    bool readRunTogether(const Blob& blob, QChar c, double score)
    {
        QString pieces;
        double piecesScore = 0;
        int pieceCount = 0;
        int x = blob.left;
        while (x <= blob.right) {
            const int remaining = blob.right - x + 1;
            double bestScore = 0;
            int bestWidth = remaining;
            QChar bestChar;
            const int widest = std::min(remaining, int(1.2 * m.tallest) + 2);
            for (int width = std::max(2, m.tallest / 5); width <= widest; ++width) {
                if (width < remaining && remaining - width < 2)
                    continue;
                double s = 0;
                const QChar p = matchPart(QRect(x, blob.top, width, blob.height()), &s);
                if (!p.isNull() && s >= bestScore) {
                    bestScore = s;
                    bestWidth = width;
                    bestChar = p;
                }
            }
            if (bestChar.isNull())
                break;
            const QRect part(x, blob.top, bestWidth, blob.height());
            pieces.append(settle(bestChar, part, false));
            piecesScore += bestScore;
            ++pieceCount;
            x += bestWidth;
        }
        // An m or w read whole is not cut into the stems and arches it is
        // made of (r n, r r, v v), which match better only because they are
        // narrower.
        const bool strokesOfWhole = (c == QLatin1Char('m') || c == QLatin1Char('w'))
            && std::all_of(pieces.cbegin(), pieces.cend(), [](QChar p) { return QStringLiteral("rnvilI1").contains(p); });
        if (x <= blob.right || pieceCount <= 1 || strokesOfWhole || piecesScore / pieceCount <= score + PiecesBetterBy)
            return false;
        text.append(pieces);
        sum += piecesScore;
        matched += pieceCount;
        prevRight = blob.right;
        hasPrevious = true;
        return true;
    }

    const QImage& crop;
    const std::vector<Blob>& blobs;
    const LineMetrics& m;
    const RuleTest& isRule;
    const QList<GlyphTemplate>& templates;

    QString text;
    bool hasPrevious = false;
    int prevPad = 0;
    int prevRight = -100;
    double sum = 0;
    int matched = 0;
};

// Strokes and specks alone spell nothing; a flat stroke standing apart at
// either end is the edge of a band or a rule, not part of a name.
QString withoutStrayStrokes(QString text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); }))
        return QString();
    text = text.trimmed();
    while (text.size() >= 2 && (text.endsWith(QLatin1String(" _")) || text.endsWith(QLatin1String(" -"))))
        text.chop(2);
    while (text.size() >= 2 && (text.startsWith(QLatin1String("_ ")) || text.startsWith(QLatin1String("- "))))
        text.remove(0, 2);
    return text;
}

} // namespace

QString recognizeTextLine(const QImage& binarised, QRect line, GlyphTemplateCache& cache, double* score)
{
    if (score)
        *score = 0;
    const QRect r = line & binarised.rect();
    if (r.width() < 4 || r.height() < 5)
        return QString();
    QImage crop = binarised.copy(r).convertToFormat(QImage::Format_Grayscale8);
    const int w = crop.width(), h = crop.height();

    // Rules and the edges of bands run across the line far wider than any
    // letter; they go first, so that no letter is joined to them.
    const auto isWide = [&](const Blob& b) { return b.width() > WideStrokeLineHeights * h && b.width() > w / 2; };
    const auto findLetterBlobs = [&] {
        std::vector<Blob> found = findInkBlobs(crop);
        found.erase(std::remove_if(found.begin(), found.end(), isWide), found.end());
        joinPiecesOfLetters(found);
        found.erase(std::remove_if(found.begin(), found.end(), [&](const Blob& b) {
                        return b.pixels < LetterPixelsLeast || isWide(b);
                    }), found.end());
        return found;
    };
    std::vector<Blob> blobs = findLetterBlobs();
    if (blobs.empty())
        return QString();

    const RuleTest isRule{binarised, r};
    std::vector<Blob> letters;
    for (const Blob& blob : blobs) {
        if (blob.height() >= LetterRowsLeast && !isRule(blob))
            letters.push_back(blob);
    }
    if (letters.empty())
        return QString();
    LineMetrics metrics;
    measureHeights(letters, h, metrics);
    if (cutJoinedUnderscores(crop, letters, metrics)) {
        blobs = findLetterBlobs();
        letters.clear();
        for (const Blob& blob : blobs) {
            if (blob.height() >= LetterRowsLeast && !isRule(blob))
                letters.push_back(blob);
        }
        if (letters.empty())
            return QString();
    }
    measureSpacing(letters, metrics);

    double bestScore = 0;
    QString text = LineReader(crop, blobs, metrics, isRule, cache.forInkHeight(metrics.tallest, false)).read(&bestScore);
    if (metrics.shortest >= EvenHeightShare * metrics.tallest) {
        double smallScore = 0;
        const QString small =
            LineReader(crop, blobs, metrics, isRule, cache.forInkHeight(metrics.tallest, true)).read(&smallScore);
        if (smallScore > bestScore + SmallLettersBetterBy) {
            text = small;
            bestScore = smallScore;
        }
    }
    text = withoutStrayStrokes(text);
    if (text.isEmpty())
        return QString();
    if (score)
        *score = bestScore;
    return cleanRecognizedText(settleAmbiguousLetters(text));
}
