#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

/// One outline entry: a caption at a level, pointing at an area of a page.
struct TQROutlineEntry {
    static constexpr int Size = 80;     // bytes in the stored layout
    static constexpr int MaxTitle = 51; // characters
    static constexpr int MaxLevel = 31;

    QString Title;
    qint32 Level = 1;
    QRect Area;
    qint32 Page = 0;
    qint32 Key = 0;

    /// The 80-byte layout: title as a length byte and 51 Windows-1250 bytes, then level, area (left, top,
    /// right, bottom), page and key as 32-bit little-endian numbers.
    QByteArray toBytes() const;
    static TQROutlineEntry fromBytes(const QByteArray &bytes);
};

/// The tree an outline is shown in, kept apart from any widget: nodes are numbers the tree hands out.
class TQROutlineNodes {
public:
    virtual ~TQROutlineNodes() = default;
    virtual void Clear() = 0;
    /// Repainting stops between the two calls.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    /// Adds a node under `parent` (-1: top level) and returns its number; `key` is what a selection of the
    /// node is matched against.
    virtual int AddChild(int parent, const QString &caption, qint32 key) = 0;
};

/// The outline of a generated report: an ordered list of entries, shown as a tree when one is attached.
class TQROutline {
public:
    void AddEntry(const TQROutlineEntry &entry);
    const QList<TQROutlineEntry> &Entries() const { return m_entries; }
    void ClearEntries();

    /// Shows the outline in `nodes` (none detaches) and builds the tree at once.
    void AttachTree(TQROutlineNodes *nodes);
    TQROutlineNodes *Tree() const { return m_nodes; }
    /// Rebuilds the attached tree: each entry becomes a child of the latest node one level up.
    void RebuildTree();

    /// The first entry with `key`; page 0 and an empty area when there is none.
    void FindEntry(qint32 key, QRect &area, qint32 &page) const;

private:
    QList<TQROutlineEntry> m_entries;
    TQROutlineNodes *m_nodes = nullptr;
};
