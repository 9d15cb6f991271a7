#pragma once

#include "report/engine/QRFrame.h"
#include "report/engine/QRGraphics.h"

#include <QList>
#include <QObject>
#include <QRect>

class QPainter;
class TCustomDezirUzu;

/// A windowless visual component of a report definition: a report, band or printable control.
///
/// Two relations hold it. Its owner is its QObject parent (the definition's root): ownership decides
/// freeing, the order of components and lookups by name. Its visual parent is kept here, with an ordered
/// list of visual children (print order): a band sits on its report, a control on its band or report. After
/// loading both orders follow the document. The integer pixel bounds are real state, kept in step with the
/// size holders by their pushes.
class TQRControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint32 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
public:
    explicit TQRControl(QObject *owner = nullptr);
    ~TQRControl() override;

    qint32 Tag() const { return m_tag; }
    void SetTag(qint32 tag) { m_tag = tag; }
    bool Enabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled);
    const QColor &Color() const { return m_color; }
    virtual void SetColor(const QColor &color);

    // Visual tree.
    TQRControl *ParentControl() const { return m_parent; }
    /// Places the control on a parent (none: takes it off), last in print order. EQRError when the parent
    /// cannot hold it.
    void SetParentControl(TQRControl *parent);
    const QList<TQRControl *> &Controls() const { return m_children; }
    int ControlCount() const { return int(m_children.size()); }
    /// Moves a child to another place in print order.
    void SetControlIndex(TQRControl *child, int index);
    /// The report the control belongs to, directly or through its band; none before it is placed.
    virtual TCustomDezirUzu *ParentReport() const { return nullptr; }

    // Pixel bounds.
    int Left() const { return m_bounds.left(); }
    int Top() const { return m_bounds.top(); }
    int Width() const { return m_bounds.width(); }
    int Height() const { return m_bounds.height(); }
    const QRect &BoundsRect() const { return m_bounds; }
    /// Asks for new bounds; each kind of control decides what it takes (sizes are at least 0).
    virtual void SetBounds(int left, int top, int width, int height);

    // Component state.
    bool Loading() const { return m_loading; }
    bool Destroying() const { return m_destroying; }
    /// Marks the control as being read from a definition.
    void BeginLoad() { m_loading = true; }
    /// Ends reading: Loaded runs.
    void EndLoad();

    /// Asks for the control to be drawn again on the design surface.
    virtual void Invalidate() {}
    /// Why the last setter that refused a value refused it (for messages about stored definitions).
    static QString &LastRefusal();
    /// The parent's font changed; controls that take it follow.
    virtual void ParentFontChanged() {}

protected:
    /// A report's components asked to be deleted later while the report runs go once the run has ended.
    bool event(QEvent *event) override;
    /// Takes the bounds as they are.
    void setBoundsRaw(int left, int top, int width, int height);
    /// The parent the control really goes on when asked for `parent`; EQRError when it cannot go there.
    virtual TQRControl *ValidParent(TQRControl *parent) { return parent; }
    /// Runs after the control moved from `old` to its current parent.
    virtual void ParentChanged(TQRControl *old) { Q_UNUSED(old); }
    virtual void Loaded() {}
    /// Called first in every destructor: from here on the control is going.
    void markDestroying() { m_destroying = true; }
    /// Forgets the parent without telling anyone (the parent is going).
    void dropParent() { m_parent = nullptr; }

private:
    qint32 m_tag = 0;
    bool m_enabled = true;
    QColor m_color = Qt::white;
    TQRControl *m_parent = nullptr;
    QList<TQRControl *> m_children;
    QRect m_bounds;
    bool m_loading = false;
    bool m_destroying = false;
};

/// The common base of reports and bands: a panel with a frame, a font, a zoom and a ruler.
class TQRBasePanel : public TQRControl {
    Q_OBJECT
    Q_PROPERTY(TQRFrame *Frame READ Frame)
public:
    explicit TQRBasePanel(QObject *owner = nullptr);

    TQRFrame *Frame() const { return m_frame; }
    TQRFont *Font() const { return m_font; }
    /// Point size the Characters ruler is drawn in.
    qint32 CharFontSize() const { return m_charFontSize; }
    void SetCharFontSize(qint32 size) { m_charFontSize = size; }
    qint32 Zoom() const { return m_zoom; }

    /// Stores the zoom; every printable child takes it in its size and pushes; every panel child applies
    /// it too.
    virtual void ApplyZoom(qint32 zoom);
    /// Draws the ruler in the given unit on the design surface.
    virtual void PaintRuler(QPainter &painter, TQRUnit units);
    /// Draws the panel on the design surface: fill (silver when disabled) and frame.
    virtual void Paint(QPainter &painter);

protected:
    /// The font changed (not by following the parent).
    virtual void FontChanged() {}
    qint32 m_zoom = 100;

private:
    TQRFrame *m_frame;
    TQRFont *m_font;
    qint32 m_charFontSize = 12;
};

/// The base name followed by the smallest positive number that no component of the owner is named with.
QString uniqueComponentName(QObject *owner, const QString &base);
