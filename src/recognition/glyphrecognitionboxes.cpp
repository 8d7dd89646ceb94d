// Reading the text of boxes: the lines of a box found by its rows of ink,
// each line cut from the grey picture by its own ground and letters and
// read at the cut that matches best.

#include "recognition/glyphrecognition.h"

#include "model/eventpump.h"
#include "recognition/recognitiongeometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Text whose letters fill no more rows than this is also read enlarged
// twice; the enlarged reading's agreement counts this much more, since
// smoothed strokes cut from grey never fit a template as closely as crisp
// ones do.
constexpr int SmallTextRows = 9;
constexpr double EnlargedReadingBonus = 0.06;
// The text of a box keeps this far from its outline.
constexpr int BoxMarginX = 5;
constexpr int BoxMarginY = 4;
// A box at least this high has its column rules taken out of the rows:
// a column inked in 17 of 20 rows or more is a rule.
constexpr int RuledBoxRowsLeast = 40;
// A line of text is more than this many rows of ink.
constexpr int LineRowsMore = 5;
// A line reaches at most two fifths of its height onto the rows beside it
// that are no other fill; a fill differs from the line's ground by more
// than this.
constexpr int OtherFillGrey = 24;
// The cuts of the grey tried, the middle one first; a later one wins when
// better by this much.
constexpr double CutDepths[] = {0.5, 0.4, 0.6};
constexpr double DeepCut = 0.4;
constexpr double BetterCutBy = 0.01;
// An underscore added from the deeper cut may cost this much agreement.
constexpr double UnderscoreCostMost = 0.02;

// Ink per row of the box; with the rules between the columns of a table,
// which run down the whole box and would join its lines into one, not
// counted.
std::vector<int> rowProfile(const QImage& mask, const QRect& inner)
{
    std::vector<int> columnInk(static_cast<size_t>(inner.width()), 0);
    for (int y = 0; y < inner.height(); ++y) {
        const uchar* line = mask.constScanLine(inner.top() + y) + inner.left();
        for (int x = 0; x < inner.width(); ++x)
            columnInk[static_cast<size_t>(x)] += line[x] == 0;
    }
    std::vector<uchar> counted(static_cast<size_t>(inner.width()), 1);
    if (inner.height() >= RuledBoxRowsLeast) {
        for (int x = 0; x < inner.width(); ++x)
            counted[static_cast<size_t>(x)] = columnInk[static_cast<size_t>(x)] * 20 < inner.height() * 17;
    }
    std::vector<int> profile(static_cast<size_t>(inner.height()), 0);
    for (int y = 0; y < inner.height(); ++y) {
        const uchar* line = mask.constScanLine(inner.top() + y) + inner.left();
        int count = 0;
        for (int x = 0; x < inner.width(); ++x)
            count += line[x] == 0 && counted[static_cast<size_t>(x)];
        profile[static_cast<size_t>(y)] = count;
    }
    return profile;
}

// The lines of a box between rows first and last (past the end), as
// first row and row past the end: runs of rows with at least threshold
// ink pixels.
std::vector<QPair<int, int>> findTextLinesWithin(const std::vector<int>& profile, int threshold, int first, int last)
{
    const int rows = last;
    const auto at = [&](int y) { return profile[static_cast<size_t>(y)]; };
    std::vector<QPair<int, int>> lines;
    int y = first;
    int previousEnd = first;
    while (y < rows) {
        if (at(y) < threshold) {
            ++y;
            continue;
        }
        int start = y;
        while (y < rows && at(y) >= threshold)
            ++y;
        if (y - start <= LineRowsMore)
            continue;
        // Ascenders and descenders put few pixels in a row: the line takes
        // in the sparse rows of ink right above and below it.
        const int reach = std::max(2, (y - start) * 3 / 5);
        for (int k = 0; k < reach && start > previousEnd && at(start - 1) > 0 && at(start - 1) < threshold; ++k)
            --start;
        for (int k = 0; k < reach && y < rows && at(y) > 0 && at(y) < threshold; ++k)
            ++y;
        // Underscores may stand apart just below the letters: a short run
        // close under the line belongs to it.
        const int lookAhead = std::max(2, (y - start) / 4);
        for (int gap = 1; gap <= lookAhead && y + gap < rows; ++gap) {
            if (at(y + gap) < threshold)
                continue;
            int end = y + gap;
            while (end < rows && at(end) >= threshold)
                ++end;
            if (end - (y + gap) <= 3)
                y = end;
            break;
        }
        previousEnd = y;
        lines.push_back({start, y});
    }
    return lines;
}

// The lines of a box. A short word of small letters in a wide box (a
// title such as "tag") inks fewer pixels per row than the box's threshold
// asks: a gap between lines that could hold a line is searched again at
// half the threshold.
std::vector<QPair<int, int>> findTextLines(const std::vector<int>& profile, int threshold)
{
    std::vector<QPair<int, int>> lines = findTextLinesWithin(profile, threshold, 0, int(profile.size()));
    const int lower = std::max(2, threshold / 2);
    if (lower >= threshold)
        return lines;
    std::vector<QPair<int, int>> all;
    int from = 0;
    for (size_t k = 0; k <= lines.size(); ++k) {
        const int to = k < lines.size() ? lines[k].first : int(profile.size());
        if (to - from > 2 * LineRowsMore) {
            for (const QPair<int, int>& line : findTextLinesWithin(profile, lower, from, to)) {
                // Kept clear of the lines found already.
                if (line.first > from && line.second < to)
                    all.push_back(line);
            }
        }
        if (k < lines.size()) {
            all.push_back(lines[k]);
            from = lines[k].second;
        }
    }
    return all;
}

// Descenders, underscores and the lighter edges of anti-aliased letters
// may fall short of the row count: line k reaches a little farther, never
// past the middle of the gap to the next, nor onto another fill (a band's
// edge or the body under it) or a rule drawn between rows.
QRect widenedLine(const std::vector<QPair<int, int>>& lines, size_t k, const std::vector<int>& profile,
                  const QImage& mask, const QImage& grey, const QRect& inner)
{
    int start = lines[k].first, end = lines[k].second;
    const int height = end - start;
    const int above = k > 0 ? (start - lines[k - 1].second) / 2 : start;
    const int below = k + 1 < lines.size() ? (lines[k + 1].first - end) / 2 : inner.height() - end;
    const auto groundAt = [&](int row) {
        if (grey.size() != mask.size())
            return 0;
        int histogram[256] = {};
        const uchar* line = grey.constScanLine(inner.top() + row) + inner.left();
        for (int x = 0; x < inner.width(); ++x)
            ++histogram[line[x]];
        return int(std::max_element(histogram, histogram + 256) - histogram);
    };
    const int ground = groundAt((start + end) / 2);
    const auto extendsTo = [&](int row) {
        return profile[static_cast<size_t>(row)] * 2 < inner.width() && std::abs(groundAt(row) - ground) <= OtherFillGrey;
    };
    const int reach = height * 2 / 5;
    const int up = std::clamp(reach, 0, std::max(above, 0));
    for (int g = 0; g < up && extendsTo(start - 1); ++g)
        --start;
    const int down = std::clamp(reach, 0, std::max(below, 0));
    for (int g = 0; g < down && extendsTo(end); ++g)
        ++end;
    return QRect(inner.left(), inner.top() + start, inner.width(), end - start);
}

// What the cuts of one line gave.
struct LineCuts
{
    QString text;           // the best reading
    double best = -1;       // its agreement
    QImage bestImage;       // its cut
    QImage deepImage;       // the deeper cut, at the best cut's scale
    QRect within;           // the line inside those cuts
    QStringList readings;   // every reading
};

// Anti-aliased letters are thinner or bolder depending on where the grey
// is cut: the cut whose letters match their templates best wins. Letters
// only a few pixels high are also read enlarged smoothly before the cut,
// in which their strokes keep apart.
LineCuts readAtCuts(const QImage& grey, const QRect& around, const QRect& plainWithin, int height,
                    GlyphTemplateCache& cache)
{
    LineCuts cuts;
    cuts.within = plainWithin;
    const int scales = height <= SmallTextRows ? 2 : 1;
    for (int scale = 1; scale <= scales; ++scale) {
        QImage source = grey;
        QRect sourceRect = around, sourceWithin = plainWithin;
        if (scale > 1) {
            source = grey.copy(around).scaled(around.width() * scale, around.height() * scale, Qt::IgnoreAspectRatio,
                                              Qt::SmoothTransformation);
            sourceRect = source.rect();
            sourceWithin = QRect(plainWithin.x() * scale, plainWithin.y() * scale, plainWithin.width() * scale,
                                 plainWithin.height() * scale);
        }
        for (const double depth : CutDepths) {
            const QImage local = binarizeTextLine(source, sourceRect, depth);
            double score = 0;
            const QString reading = recognizeTextLine(local, sourceWithin, cache, &score);
            if (scale > 1)
                score += EnlargedReadingBonus;
            if (score > cuts.best + BetterCutBy) {
                cuts.best = score;
                cuts.text = reading;
                cuts.bestImage = local;
                cuts.within = sourceWithin;
            }
            if (depth == DeepCut && (scale == 1 || cuts.bestImage.size() == local.size()))
                cuts.deepImage = local;
            cuts.readings.append(reading);
        }
    }
    return cuts;
}

// An underscore is the faintest stroke of a line: one that the deeper cut
// shows low in a gap between letters is added to the letters of the best
// cut, and kept when the line then reads as before with more underscores.
QString withFaintUnderscores(const LineCuts& cuts, GlyphTemplateCache& cache)
{
    const QImage& bestImage = cuts.bestImage;
    const QImage& deepImage = cuts.deepImage;
    if (bestImage.isNull() || bestImage.size() != deepImage.size() || bestImage == deepImage)
        return cuts.text;
    const QRect& within = cuts.within;
    QImage joined = bestImage;
    const int w = joined.width(), h = joined.height();
    std::vector<uchar> letterColumn(static_cast<size_t>(w), 0);
    for (int y = 0; y < h; ++y) {
        const uchar* line = bestImage.constScanLine(y);
        for (int x = 0; x < w; ++x)
            letterColumn[static_cast<size_t>(x)] |= line[x] == 0;
    }
    bool added = false;
    const int minimum = std::max(3, within.height() / 3);
    for (int y = within.top() + within.height() / 2; y <= within.bottom() && y < h; ++y) {
        const uchar* deep = deepImage.constScanLine(y);
        const uchar* above = deepImage.constScanLine(std::max(0, y - 2));
        int x = 0;
        while (x < w) {
            if (deep[x] != 0) {
                ++x;
                continue;
            }
            int end = x;
            while (end < w && deep[end] == 0)
                ++end;
            // Flat: nothing of it two rows higher; in a gap of the best
            // cut, with letters on both sides.
            bool flat = end - x >= minimum && end - x <= 3 * within.height();
            for (int k = x; k < end && flat; ++k)
                flat = above[k] != 0;
            for (int k = x; k < end && flat; ++k)
                flat = !letterColumn[static_cast<size_t>(k)] || k - x < 2 || end - 1 - k < 2;
            const bool letterLeft =
                std::any_of(letterColumn.begin(), letterColumn.begin() + x, [](uchar v) { return v != 0; });
            const bool letterRight =
                std::any_of(letterColumn.begin() + end, letterColumn.end(), [](uchar v) { return v != 0; });
            if (flat && letterLeft && letterRight) {
                uchar* line = joined.scanLine(y);
                for (int k = x; k < end; ++k)
                    line[k] = 0;
                added = true;
            }
            x = end;
        }
    }
    if (!added)
        return cuts.text;
    double score = 0;
    const QString reading = recognizeTextLine(joined, within, cache, &score);
    if (reading.count(QLatin1Char('_')) > cuts.text.count(QLatin1Char('_')) && reading.size() == cuts.text.size()
        && score >= cuts.best - UnderscoreCostMost)
        return reading;
    return cuts.text;
}

// An underscore seen at one cut where another sees a gap is ink: the flat
// stroke is the faintest part of a line. So is the dot of an i that
// another cut runs into its stem. A reading that differs from text only
// so wins.
QString withFainterStrokes(QString text, const QStringList& readings)
{
    const auto fainter = [](QChar seen, QChar other) {
        return (seen == QLatin1Char('_') && other == QLatin1Char(' '))
            || (seen == QLatin1Char('i')
                && (other == QLatin1Char('l') || other == QLatin1Char('I') || other == QLatin1Char('1')));
    };
    for (const QString& reading : readings) {
        if (reading.size() != text.size() || reading == text)
            continue;
        bool onlyFainter = true;
        for (int c = 0; c < text.size() && onlyFainter; ++c)
            onlyFainter = reading.at(c) == text.at(c) || fainter(reading.at(c), text.at(c));
        if (onlyFainter)
            text = reading;
    }
    return text;
}

// Threshold the line by its own ground and letters: fills, bands and
// anti-aliasing differ from line to line.
QString readLineFromGrey(const QImage& grey, const QImage& mask, const QRect& lineRect, int height,
                         GlyphTemplateCache& cache)
{
    // A row more above and below tells the rules of a table, which run
    // on, from letters.
    const QRect around = lineRect.adjusted(0, -1, 0, 1) & mask.rect();
    const QRect plainWithin = lineRect.translated(-around.topLeft());
    const LineCuts cuts = readAtCuts(grey, around, plainWithin, height, cache);
    return withFainterStrokes(withFaintUnderscores(cuts, cache), cuts.readings);
}

} // namespace

QImage binarizeTextLine(const QImage& grey, const QRect& rect, double depth)
{
    const QRect r = rect & grey.rect();
    if (r.isEmpty())
        return QImage();
    QImage crop = grey.copy(r).convertToFormat(QImage::Format_Grayscale8);
    const int w = crop.width(), h = crop.height();
    int histogram[256] = {};
    for (int y = 0; y < h; ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ++histogram[line[x]];
    }
    const int total = w * h;
    const auto percentile = [&](double share) {
        int seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += histogram[v];
            if (seen > share * total)
                return v;
        }
        return 255;
    };
    // The ground is the commonest grey; the letters are what lies farthest
    // from it, darker or (on a filled band) lighter.
    const int ground = int(std::max_element(histogram, histogram + 256) - histogram);
    const int darkest = percentile(0.02), lightest = percentile(0.98);
    const bool lightText = lightest - ground > ground - darkest + 16;
    if (lightText)
        crop.invertPixels();
    const int paper = lightText ? 255 - ground : ground;

    // Columns of a table may be written in different greys (names dark,
    // types light): each stretch of ink between wide gaps is split
    // halfway between the ground and its own darkest letters.
    std::vector<int> columnDarkest(static_cast<size_t>(w), 255);
    for (int y = 0; y < h; ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < w; ++x)
            columnDarkest[static_cast<size_t>(x)] = std::min<int>(columnDarkest[static_cast<size_t>(x)], line[x]);
    }
    // The rules between the columns of a table run dark through the whole
    // line: they part stretches and do not set the grey of their letters.
    std::vector<uchar> rule(static_cast<size_t>(w), 0);
    {
        std::vector<int> darkRows(static_cast<size_t>(w), 0);
        for (int y = 0; y < h; ++y) {
            const uchar* line = crop.constScanLine(y);
            for (int x = 0; x < w; ++x)
                darkRows[static_cast<size_t>(x)] += paper - line[x] >= 40;
        }
        for (int x = 0; x < w; ++x)
            rule[static_cast<size_t>(x)] = h >= 8 && darkRows[static_cast<size_t>(x)] * 10 >= h * 9;
    }
    std::vector<int> threshold(static_cast<size_t>(w), -1);
    for (int x = 0; x < w; ++x) {
        if (rule[static_cast<size_t>(x)])
            threshold[static_cast<size_t>(x)] = (paper + columnDarkest[static_cast<size_t>(x)] + 1) / 2;
    }
    const int gapLimit = std::max(4, h / 2);
    int x = 0;
    while (x < w) {
        if (rule[static_cast<size_t>(x)] || paper - columnDarkest[static_cast<size_t>(x)] < 40) {
            ++x;
            continue;
        }
        const int first = x;
        int last = x, gap = 0;
        for (; x < w && gap <= gapLimit && !rule[static_cast<size_t>(x)]; ++x) {
            if (paper - columnDarkest[static_cast<size_t>(x)] >= 40) {
                last = x;
                gap = 0;
            } else {
                ++gap;
            }
        }
        // The darkest grey that a few pixels of the stretch reach.
        int counts[256] = {};
        int inStretch = 0;
        for (int y = 0; y < h; ++y) {
            const uchar* line = crop.constScanLine(y);
            for (int k = first; k <= last; ++k) {
                if (line[k] < paper - 24) {
                    ++counts[line[k]];
                    ++inStretch;
                }
            }
        }
        int letters = 0, seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += counts[v];
            if (seen > 0.1 * inStretch) {
                letters = v;
                break;
            }
        }
        const int t = int(paper - depth * (paper - letters) + 0.5);
        const int from = std::max(0, first - 1), to = std::min(w - 1, last + 1);
        for (int k = from; k <= to; ++k) {
            if (!rule[static_cast<size_t>(k)])
                threshold[static_cast<size_t>(k)] = t;
        }
        x = last + 1;
    }
    for (int y = 0; y < h; ++y) {
        uchar* line = crop.scanLine(y);
        for (int k = 0; k < w; ++k)
            line[k] = line[k] < threshold[static_cast<size_t>(k)] ? 0 : 255;
    }
    return crop;
}

QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         const QStringList& families, const QImage& grey)
{
    GlyphTemplateCache cache;
    cache.families = families;
    return recognizeBoxesText(boxes, binarised, cache, grey);
}

QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         GlyphTemplateCache& cache, const QImage& grey)
{
    QList<RecognizedText> runs;
    if (binarised.isNull())
        return runs;
    const QImage mask = binarised.format() == QImage::Format_Grayscale8
        ? binarised : binarised.convertToFormat(QImage::Format_Grayscale8);
    for (const QRectF& box : boxes) {
        const QRect inner = toPixelRect(QRectF(box.x() + BoxMarginX, box.y() + BoxMarginY, box.width() - 2 * BoxMarginX,
                                               box.height() - 2 * BoxMarginY))
            & mask.rect();
        if (inner.width() < 10 || inner.height() < 8)
            continue;
        const std::vector<int> profile = rowProfile(mask, inner);
        // Wide boxes need a fortieth of their width inked for a row of text.
        const int threshold = inner.width() > 119 ? inner.width() / 40 : 2;
        const std::vector<QPair<int, int>> lines = findTextLines(profile, threshold);
        for (size_t k = 0; k < lines.size(); ++k) {
            const QRect lineRect = widenedLine(lines, k, profile, mask, grey, inner);
            const QString text = grey.size() == mask.size()
                ? readLineFromGrey(grey, mask, lineRect, lines[k].second - lines[k].first, cache)
                : recognizeTextLine(mask, lineRect, cache);
            if (!text.isEmpty()) {
                // The run keeps the rows its letters fill.
                runs.append({QRectF(inner.left(), inner.top() + lines[k].first, inner.width(),
                                    lines[k].second - lines[k].first),
                             text});
                eventpump::step();
            }
        }
    }
    return runs;
}

QString recognizeRegionText(const QImage& image, const QRectF& rect, const QRectF& viewBox,
                            GlyphTemplateCache& cache)
{
    if (image.isNull())
        return QString();
    const QRect r = mapBoxToImageRect(rect, image, viewBox, 0);
    if (r.width() < 6 || r.height() < 6)
        return QString();
    QImage crop = image.copy(r).convertToFormat(QImage::Format_Grayscale8);
    int histogram[256] = {};
    for (int y = 0; y < crop.height(); ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            ++histogram[line[x]];
    }
    int darkMode = 0, lightMode = 128, darkCount = 0, lightCount = 0;
    for (int v = 0; v < 128; ++v) {
        if (histogram[v] > histogram[darkMode])
            darkMode = v;
        darkCount += histogram[v];
    }
    for (int v = 128; v < 256; ++v) {
        if (histogram[v] > histogram[lightMode])
            lightMode = v;
        lightCount += histogram[v];
    }
    const int threshold = (darkCount == 0 || lightCount == 0) ? 140 : (darkMode + lightMode) / 2;
    for (int y = 0; y < crop.height(); ++y) {
        uchar* line = crop.scanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            line[x] = line[x] < threshold ? 0 : 255;
    }
    return recognizeTextLine(crop, crop.rect(), cache);
}
