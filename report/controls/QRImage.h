#pragma once

#include "report/controls/Picture.h"
#include "report/engine/QRPrintable.h"

#include <QByteArray>

/// A picture printed stretched into the control, centred in it or at its natural size from its top-left
/// corner, always cut to the control. A report names one such control as its page background.
///
/// The picture comes from a definition as a file beside it or written inline. One that cannot be read (a
/// missing file, damaged or oversized data) leaves the control without a picture and keeps the reason, which
/// each run reports once; the run itself goes on.
class TQRImage : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
public:
    explicit TQRImage(QObject *owner = nullptr);

    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on);
    bool Center() const { return m_center; }
    void SetCenter(bool on);
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool on);

    const qrcontrols::Picture &Picture() const { return m_picture; }
    /// Takes a picture from its bytes; `file` names where they came from (empty: written inline). Bytes that
    /// hold no picture leave none, with the reason in PictureError.
    void LoadPicture(const QByteArray &bytes, const QString &file = {});
    /// Drops the picture, keeping `error` as the reason (a picture that could not be read).
    void SetPictureError(const QString &error);
    void ClearPicture();
    /// The bytes the picture was read from, as they were (a definition writes them back unchanged).
    const QByteArray &PictureBytes() const { return m_bytes; }
    /// The file the picture was read from (absolute), or empty.
    const QString &PictureFile() const { return m_file; }
    /// Why the picture given could not be read; empty when it could (or none was given).
    const QString &PictureError() const { return m_error; }
    /// True when the control takes its background: a bitmap at least as large as the control.
    bool Opaque() const;

    void Prepare() override;
    void Print(int offsetX, int offsetY) override;
    bool HasPicture() const override { return true; }
    void StretchDrawPicture(QPainter &canvas, const QRect &rect) override;
    void Paint(QPainter &painter) override;

private:
    void pictureChanged();

    qrcontrols::Picture m_picture;
    QByteArray m_bytes;
    QString m_file;
    QString m_error;
    bool m_autoSize = false;
    bool m_center = false;
    bool m_stretch = false;
};
