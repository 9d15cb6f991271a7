#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

#include <functional>

namespace qrcontrols {

/// Width of a text in pixels of whatever device the label is measured on (a report's reference device, the
/// printer canvas, a screen). Must not be negative, and a text measures no narrower than any of its prefixes.
using TextWidthFunction = std::function<int(const QString &text)>;

/// How a label breaks its text into lines.
struct LineBreaking {
    /// Room for a line, in the pixels `measure` returns; below 0 counts as 0.
    int width = 0;
    /// A paragraph becomes one line whatever its width (a label that sizes itself to its text).
    bool autoSize = false;
    /// Long paragraphs break into several lines; off, each paragraph yields at most its first line.
    bool wordWrap = true;
};

/// The lines a label prints for `text`.
///
/// Line feeds are removed; a carriage return ends a paragraph (so CR LF is one break, two CRs leave an empty
/// line, a trailing CR an empty last line). A paragraph is cut into words, each running up to and including
/// the next blank or hyphen, and filled into lines no wider than the width; lines keep their trailing blanks
/// and hyphens. A word too wide for a line of its own keeps its leading characters that fit and loses the
/// rest. Every word is measured a bounded number of times, so any width (0 included) ends.
QStringList BuildLines(const QString &text, const LineBreaking &breaking, const TextWidthFunction &measure);

/// The width a self-sizing label takes: its widest line, plus `frameLineWidth` for each of the left and right
/// frame lines drawn.
int AutoSizeWidth(const QStringList &lines, const TextWidthFunction &measure, int frameLineWidth = 0,
                  bool leftFrame = false, bool rightFrame = false);

/// Where a self-sizing label's left edge goes when its width changes from `oldWidth` to `newWidth`: a
/// right-aligned label keeps its right edge, a centred one keeps its middle (moving by the halved difference,
/// truncated), any other keeps its left edge. `alignment` is the one in effect after right-to-left mirroring.
int AutoSizeLeft(int left, int oldWidth, int newWidth, Qt::Alignment alignment);

/// A width measured at 100 % scaled to the label's zoom, rounded to the nearest (halves to even).
int ZoomedWidth(int width, int zoom);
/// The height of one label line: the text height of "W" scaled to the zoom (truncating), plus 1.
int LineHeight(int textHeightOfW, int zoom);

} // namespace qrcontrols
