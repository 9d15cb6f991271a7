#include "printer/QROutline.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace {

void put32(char *p, qint32 v) {
    const quint32 u = quint32(v);
    p[0] = char(u);
    p[1] = char(u >> 8);
    p[2] = char(u >> 16);
    p[3] = char(u >> 24);
}

qint32 get32(const char *p) {
    const auto *u = reinterpret_cast<const uchar *>(p);
    return qint32(quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24);
}

} // namespace

QByteArray TQROutlineEntry::toBytes() const {
    QByteArray out(Size, '\0');
    QStringEncoder encoder("windows-1250");
    QByteArray title = encoder.isValid() ? QByteArray(encoder.encode(Title.left(MaxTitle))) : Title.toLatin1();
    title.truncate(MaxTitle);
    out[0] = char(title.size());
    std::copy(title.begin(), title.end(), out.begin() + 1);
    char *p = out.data() + 52;
    put32(p, Level);
    put32(p + 4, Area.left());
    put32(p + 8, Area.top());
    put32(p + 12, Area.right() + 1);
    put32(p + 16, Area.bottom() + 1);
    put32(p + 20, Page);
    put32(p + 24, Key);
    return out;
}

TQROutlineEntry TQROutlineEntry::fromBytes(const QByteArray &bytes) {
    TQROutlineEntry e;
    if (bytes.size() < Size)
        return e;
    const int length = std::min<int>(uchar(bytes[0]), MaxTitle);
    QStringDecoder decoder("windows-1250");
    e.Title = decoder.decode(QByteArrayView(bytes.constData() + 1, length));
    const char *p = bytes.constData() + 52;
    e.Level = get32(p);
    e.Area = QRect(QPoint(get32(p + 4), get32(p + 8)), QPoint(get32(p + 12) - 1, get32(p + 16) - 1));
    e.Page = get32(p + 20);
    e.Key = get32(p + 24);
    return e;
}

void TQROutline::AddEntry(const TQROutlineEntry &entry) {
    TQROutlineEntry e = entry;
    e.Title.truncate(TQROutlineEntry::MaxTitle);
    m_entries.append(e);
}

void TQROutline::ClearEntries() {
    m_entries.clear();
}

void TQROutline::AttachTree(TQROutlineNodes *nodes) {
    m_nodes = nodes;
    RebuildTree();
}

void TQROutline::RebuildTree() {
    if (!m_nodes)
        return;
    m_nodes->BeginUpdate();
    m_nodes->Clear();
    std::array<int, TQROutlineEntry::MaxLevel + 1> latest; // latest node of each level, -1 for none
    latest.fill(-1);
    for (const TQROutlineEntry &e : std::as_const(m_entries)) {
        // Levels outside 1 ... 31 are taken as the nearest valid level rather than indexing past the table.
        const int level = std::clamp<int>(e.Level, 1, TQROutlineEntry::MaxLevel);
        const int parent = level == 1 ? -1 : latest[size_t(level - 1)];
        latest[size_t(level)] = m_nodes->AddChild(parent, e.Title, e.Key);
    }
    m_nodes->EndUpdate();
}

void TQROutline::FindEntry(qint32 key, QRect &area, qint32 &page) const {
    for (const TQROutlineEntry &e : m_entries)
        if (e.Key == key) {
            area = e.Area;
            page = e.Page;
            return;
        }
    area = QRect();
    page = 0;
}
