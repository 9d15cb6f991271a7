#pragma once

#include "printer/drawing/EmfFormat.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>

/// Where the fields of each record stand, counted in bytes from the record's first byte (its type). The
/// recorder writes records through these offsets and the player reads them through the same ones, so a
/// record is described once. `Length` is the size of a record's fixed part; what follows it (points,
/// strings, bitmaps, region data) is placed by offsets or counts inside the record.
namespace emf::layout {

// clang-format off

/// Every record: its type and its size in bytes, a multiple of 4; the parameters follow.
struct Common { static constexpr quint32 Type = 0, Size = 4, Parameters = 8; };

struct Header {
    static constexpr quint32
        Bounds = 8,             // inclusive, device units
        Frame = 24,             // inclusive, 0.01 mm
        Signature = 40, Version = 44,
        Bytes = 48, Records = 52,
        Handles = 56,           // 16-bit, then 16 reserved bits
        DescriptionChars = 60, DescriptionOffset = 64,
        PaletteEntries = 68,
        Device = 72,            // reference device in pixels: cx, cy
        Millimeters = 80,       // the same in millimetres
        PixelFormatSize = 88, PixelFormatOffset = 92, OpenGL = 96,
        Micrometers = 100,      // the same in micrometres
        MinLength = MinHeaderBytes, // the oldest form, without the extensions
        Length = HeaderBytes;
};

struct Eof { static constexpr quint32 PaletteEntries = 8, PaletteOffset = 12, SizeLast = 16, Length = 20; };

/// One 32-bit parameter: modes, colours, text alignment, a handle to select or delete, a saved state.
struct Single { static constexpr quint32 Value = 8, Length = 12; };
/// One point: move-to, line-to, window and viewport origins, clip offset.
struct Point { static constexpr quint32 X = 8, Y = 12, Length = 16; };
/// Two 32-bit values: window and viewport extents.
struct Extent { static constexpr quint32 Cx = 8, Cy = 12, Length = 16; };
struct ScaleExtent { static constexpr quint32 XNum = 8, XDenom = 12, YNum = 16, YDenom = 20, Length = 24; };
struct SetPixel { static constexpr quint32 X = 8, Y = 12, Color = 16, Length = 20; };
/// A box (left, top, right, bottom; exclusive of the bottom-right edge): rectangle, ellipse, clip rectangles,
/// and the bounds of path drawing.
struct Rectangle { static constexpr quint32 Box = 8, Length = 24; };
struct RoundRect { static constexpr quint32 Box = 8, CornerWidth = 24, CornerHeight = 28, Length = 32; };
/// Arc, chord and pie: the box and the two radial points.
struct Arc { static constexpr quint32 Box = 8, Start = 24, End = 32, Length = 40; };
/// Polygons, polylines and Bezier runs; points of 16 or 32 bits each coordinate follow the count.
struct Poly { static constexpr quint32 Bounds = 8, Count = 24, Points = 28; };
/// Several polygons or polylines: the point count of each, then all their points.
struct PolyPoly { static constexpr quint32 Bounds = 8, Polys = 24, Count = 28, Counts = 32; };
/// The six floats of a world transform; a modification adds its mode.
struct Transform { static constexpr quint32 M11 = 8, M12 = 12, M21 = 16, M22 = 20, Dx = 24, Dy = 28, Mode = 32, Length = 32, ModifyLength = 36; };

struct CreatePen { static constexpr quint32 Handle = 8, Style = 12, Width = 16, Color = 24, Length = 28; };
struct ExtCreatePen {
    static constexpr quint32
        Handle = 8, BmiOffset = 12, BmiSize = 16, BitsOffset = 20, BitsSize = 24,
        Style = 28, Width = 32, BrushStyle = 36, Color = 40, Hatch = 44, StyleCount = 48, Length = 52;
};
struct CreateBrush { static constexpr quint32 Handle = 8, Style = 12, Color = 16, Hatch = 20, Length = 24; };
struct PatternBrush { static constexpr quint32 Handle = 8, Usage = 12, BmiOffset = 16, BmiSize = 20, BitsOffset = 24, BitsSize = 28, Length = 32; };
/// A logical font: height (negative: the em height), weight, style bytes, 32 UTF-16 units of face name.
struct CreateFont {
    static constexpr quint32
        Handle = 8, Height = 12, Width = 16, Escapement = 20, Orientation = 24, Weight = 28,
        Italic = 32, Underline = 33, StrikeOut = 34, CharSet = 35,
        OutPrecision = 36, ClipPrecision = 37, Quality = 38, PitchAndFamily = 39,
        FaceName = 40, FaceChars = 32, Length = 104;
};

struct ExtTextOut {
    static constexpr quint32
        Bounds = 8, GraphicsMode = 24, ScaleX = 28, ScaleY = 32,
        Reference = 36,         // the reference point: x, y
        Chars = 44, StringOffset = 48, Options = 52,
        Rectangle = 56,         // clipping or opaque rectangle
        DxOffset = 72,          // the advances, one per character (two with ETO_PDY)
        Length = 76;
};

/// A comment of ours: the size of what follows, our identifier, the kind, its value.
struct Comment { static constexpr quint32 DataSize = 8, Identifier = 12, Kind = 16, Value = 20, Length = 28; };

/// Region data as clip and fill records carry it: a 32-byte header, then the rectangles.
struct RegionData { static constexpr quint32 HeaderSize = 0, Kind = 4, Count = 8, RectsSize = 12, Bounds = 16, Rects = 32; };
struct ExtSelectClipRgn { static constexpr quint32 RegionSize = 8, Mode = 12, Region = 16; };
struct FillRgn { static constexpr quint32 Bounds = 8, RegionSize = 24, Brush = 28, Region = 32; };
struct PaintRgn { static constexpr quint32 Bounds = 8, RegionSize = 24, Region = 28; };

/// A bitmap info header (BITMAPINFOHEADER), counted from its own first byte.
struct BitmapInfo { static constexpr quint32 Size = 0, Width = 4, Height = 8, Planes = 12, BitCount = 14, Compression = 16, ImageSize = 20, Length = 40; };
struct StretchDiBits {
    static constexpr quint32
        Bounds = 8, Dest = 24, Source = 32, SourceSize = 40,
        BmiOffset = 48, BmiSize = 52, BitsOffset = 56, BitsSize = 60,
        Usage = 64, Rop = 68, DestSize = 72, Length = 80;
};
struct SetDiBitsToDevice {
    static constexpr quint32
        Bounds = 8, Dest = 24, Source = 32, Size = 40,
        BmiOffset = 48, BmiSize = 52, BitsOffset = 56, BitsSize = 60,
        Usage = 64, StartScan = 68, ScanCount = 72, Length = 76;
};
/// Bit-block transfers: BitBlt's fixed part, to which StretchBlt and AlphaBlend add the source size.
struct BitBlt {
    static constexpr quint32
        Bounds = 8, Dest = 24, DestSize = 32,
        Rop = 40,               // AlphaBlend: the blend function's four bytes
        Source = 44, Transform = 52, BkColor = 76, Usage = 80,
        BmiOffset = 84, BmiSize = 88, BitsOffset = 92, BitsSize = 96, Length = 100,
        SourceSize = 100, StretchLength = 108;
};
/// The blend function inside an AlphaBlend record.
struct Blend { static constexpr quint32 Operation = 40, Flags = 41, ConstantAlpha = 42, AlphaFormat = 43; };

// clang-format on

} // namespace emf::layout

namespace emf {

/// Writes one record into a byte array: the fixed part's fields by their offsets, then the variable part
/// appended; `finish` pads it to whole words and writes its size.
class RecordWriter {
public:
    RecordWriter(QByteArray &out, quint32 type, quint32 fixedLength) : m_out(out), m_start(out.size()) {
        m_out.append(qsizetype(fixedLength), '\0');
        put(layout::Common::Type, type);
    }

    void u32(quint32 at, quint32 v) { put(at, v); }
    void i32(quint32 at, qint32 v) { put(at, quint32(v)); }
    void u16(quint32 at, quint16 v) {
        char *p = m_out.data() + m_start + at;
        p[0] = char(v);
        p[1] = char(v >> 8);
    }
    void u8(quint32 at, quint8 v) { m_out[m_start + at] = char(v); }
    void f32(quint32 at, float f) {
        quint32 v;
        std::memcpy(&v, &f, 4);
        put(at, v);
    }
    void f64(quint32 at, double d) {
        quint64 v;
        std::memcpy(&v, &d, 8);
        put(at, quint32(v));
        put(at + 4, quint32(v >> 32));
    }
    void point(quint32 at, const QPoint &p) {
        put(at, quint32(p.x()));
        put(at + 4, quint32(p.y()));
    }
    /// Left, top, right, bottom as given (QRect's right and bottom are inclusive).
    void rect(quint32 at, const QRect &r) {
        point(at, r.topLeft());
        point(at + 8, r.bottomRight());
    }
    /// The variable part, appended after what is written so far.
    ByteWriter tail() { return ByteWriter(m_out); }
    /// Offset of the next appended byte from the record's start.
    quint32 written() const { return quint32(m_out.size() - m_start); }
    void finish() {
        ByteWriter(m_out).pad4();
        put(layout::Common::Size, written());
    }

private:
    void put(quint32 at, quint32 v) { ByteWriter::putU32(m_out, m_start + at, v); }

    QByteArray &m_out;
    qsizetype m_start;
};

} // namespace emf
