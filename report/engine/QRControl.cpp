#include "report/engine/QRControl.h"

#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"

#include <QPainter>

#include <algorithm>

// ---- TQRControl ----

TQRControl::TQRControl(QObject *owner) : QObject(owner) {}

TQRControl::~TQRControl() {
    markDestroying();
    for (TQRControl *child : std::as_const(m_children))
        child->dropParent();
    m_children.clear();
    if (m_parent)
        m_parent->m_children.removeOne(this);
    m_parent = nullptr;
}

bool TQRControl::event(QEvent *event) {
    if (event->type() == QEvent::DeferredDelete) {
        TCustomDezirUzu *report = ParentReport();
        if (report && report->Running()) {
            report->DeferDelete(this);
            return true;
        }
    }
    return QObject::event(event);
}

QString &TQRControl::LastRefusal() {
    static QString reason;
    return reason;
}

void TQRControl::SetEnabled(bool enabled) {
    m_enabled = enabled;
    Invalidate();
}

void TQRControl::SetColor(const QColor &color) {
    m_color = color;
    Invalidate();
}

void TQRControl::SetParentControl(TQRControl *parent) {
    TQRControl *target = parent ? ValidParent(parent) : nullptr;
    if (target == m_parent)
        return;
    for (TQRControl *p = target; p; p = p->m_parent)
        if (p == this)
            throw EQRError(
                QStringLiteral("%1 cannot be placed on %2, which it holds").arg(objectName(), parent->objectName()));
    TQRControl *old = m_parent;
    if (old)
        old->m_children.removeOne(this);
    m_parent = target;
    if (target)
        target->m_children.append(this);
    ParentChanged(old);
}

void TQRControl::SetControlIndex(TQRControl *child, int index) {
    const int from = int(m_children.indexOf(child));
    if (from < 0)
        return;
    index = std::clamp(index, 0, int(m_children.size()) - 1);
    m_children.move(from, index);
}

void TQRControl::setBoundsRaw(int left, int top, int width, int height) {
    // Far beyond any page, and small enough that a right or bottom edge stays within 32 bits.
    constexpr int limit = 1 << 29;
    m_bounds = QRect(std::clamp(left, -limit, limit), std::clamp(top, -limit, limit), std::clamp(width, 0, limit),
                     std::clamp(height, 0, limit));
}

void TQRControl::SetBounds(int left, int top, int width, int height) {
    setBoundsRaw(left, top, width, height);
}

void TQRControl::EndLoad() {
    if (!m_loading)
        return;
    m_loading = false;
    Loaded();
}

// ---- TQRBasePanel ----

TQRBasePanel::TQRBasePanel(QObject *owner) : TQRControl(owner), m_frame(new TQRFrame(this)), m_font(new TQRFont(this)) {
    m_font->OnChange = [this] { FontChanged(); };
}

void TQRBasePanel::ApplyZoom(qint32 zoom) {
    m_zoom = zoom;
    for (TQRControl *child : Controls()) {
        if (auto *printable = qobject_cast<TQRPrintable *>(child)) {
            printable->Size()->SetZoom(zoom);
            printable->Size()->PushSizeToControl();
        } else if (auto *panel = qobject_cast<TQRBasePanel *>(child)) {
            panel->ApplyZoom(zoom);
        }
    }
}

void TQRBasePanel::PaintRuler(QPainter &painter, TQRUnit units) {
    Q_UNUSED(painter);
    Q_UNUSED(units);
}

void TQRBasePanel::Paint(QPainter &painter) {
    painter.fillRect(QRect(0, 0, Width(), Height()), Enabled() ? Color() : QColor(0xC0, 0xC0, 0xC0));
}

QString uniqueComponentName(QObject *owner, const QString &base) {
    for (int n = 1;; ++n) {
        const QString name = base + QString::number(n);
        if (!owner || !owner->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
            return name;
    }
}
