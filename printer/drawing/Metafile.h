#pragma once

#include "printer/drawing/EmfPlayer.h"
#include "printer/drawing/EmfReader.h"

#include <QByteArray>
#include <QList>
#include <QPainter>

#include <functional>
#include <memory>

class EmfRecorder;
class QIODevice;

/// A page recording: the bytes of one enhanced metafile and the size of its picture in pixels of its
/// reference device. Made by a TMetafileCanvas, stored and fetched by the page list, drawn stretched into
/// any rectangle, and searched through its text records.
class TMetafile {
public:
    /// An empty recording of 1 x 1 pixels.
    TMetafile();
    /// An empty recording of the given pixel size; the reference resolution 0 takes the screen's.
    TMetafile(int width, int height, double dpiX = 0, double dpiY = 0);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    double DpiX() const { return m_dpiX; }
    double DpiY() const { return m_dpiY; }

    /// The metafile bytes (an EMF file).
    const QByteArray &Bytes() const { return m_bytes; }
    void SaveToStream(QIODevice &device) const;

    /// Takes the metafile at the start of `bytes` (its header gives the length). False, and the recording
    /// unchanged, when the bytes do not hold a whole metafile.
    bool LoadFromBytes(const QByteArray &bytes);
    /// Reads one metafile from a device positioned at its first byte, leaving the device just after it.
    bool LoadFromStream(QIODevice &device);

    /// Draws the recording stretched into `target`.
    void StretchDraw(QPainter &painter, const QRectF &target) const;
    /// Every record in order (see forEachEmfRecord).
    bool Enumerate(const std::function<bool(const EmfRecord &)> &visit) const;
    /// The text records with their reference points in the recording's pixels.
    QList<EmfPlayer::TextRun> Texts() const;
    /// Puts the recording on the clipboard: its metafile bytes ("image/x-emf") and the page as a picture
    /// for programs that take only pictures.
    void CopyToClipboard() const;

private:
    friend class TMetafileCanvas;
    void adopt(const QByteArray &bytes, const emf::Header &header);

    QByteArray m_bytes;
    int m_width = 1;
    int m_height = 1;
    double m_dpiX = 96;
    double m_dpiY = 96;
};

/// A painter recording onto a TMetafile; destroying it (or `End`) ends the recording and hands the bytes
/// to the metafile. What is drawn before that is not yet in the metafile.
class TMetafileCanvas {
public:
    explicit TMetafileCanvas(TMetafile &metafile);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas &) = delete;
    TMetafileCanvas &operator=(const TMetafileCanvas &) = delete;

    QPainter &Painter() { return m_painter; }
    QPainter *operator->() { return &m_painter; }
    void End();

private:
    TMetafile &m_metafile;
    std::unique_ptr<EmfRecorder> m_device;
    QPainter m_painter;
};
