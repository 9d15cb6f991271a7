#include "printer/drawing/CupsQueues.h"

#include <QSizeF>

#include <cups/cups.h>

#include <cstring>
#include <memory>

namespace cups {

namespace {

// The spooler's destinations for the length of one question.
class Dests {
public:
    Dests() : m_count(cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests)) {}
    ~Dests() { cupsFreeDests(m_count, m_dests); }
    Dests(const Dests &) = delete;
    Dests &operator=(const Dests &) = delete;

    int count() const { return m_count; }
    cups_dest_t &at(int i) const { return m_dests[i]; }
    static QString nameOf(const cups_dest_t &dest) {
        QString name = QString::fromLocal8Bit(dest.name);
        if (dest.instance)
            name += QLatin1Char('/') + QString::fromLocal8Bit(dest.instance);
        return name;
    }
    cups_dest_t *find(const QString &name) const {
        for (int i = 0; i < m_count; ++i)
            if (nameOf(m_dests[i]) == name)
                return &m_dests[i];
        return nullptr;
    }

private:
    cups_dest_t *m_dests = nullptr;
    int m_count = 0;
};

QPageSize pageSizeOf(const cups_size_t &size) {
    return QPageSize(QSizeF(size.width / 100.0, size.length / 100.0), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyMatch);
}

QString defaultValue(cups_dest_t *dest, cups_dinfo_t *info, const char *option) {
    // A default the user set for the queue comes first, then the queue's own.
    if (const char *own = cupsGetOption(option, dest->num_options, dest->options))
        return QString::fromUtf8(own);
    if (ipp_attribute_t *attr = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, option)) {
        if (ippGetValueTag(attr) == IPP_TAG_ENUM || ippGetValueTag(attr) == IPP_TAG_INTEGER)
            return QString::number(ippGetInteger(attr, 0));
        if (const char *text = ippGetString(attr, 0, nullptr))
            return QString::fromUtf8(text);
    }
    return {};
}

bool supports(cups_dest_t *dest, cups_dinfo_t *info, const char *option, const char *value) {
    return cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, option, value) != 0;
}

} // namespace

QStringList QueueNames() {
    const Dests dests;
    QStringList names;
    for (int i = 0; i < dests.count(); ++i)
        names << Dests::nameOf(dests.at(i));
    return names;
}

QString DefaultQueue() {
    const Dests dests;
    for (int i = 0; i < dests.count(); ++i)
        if (dests.at(i).is_default)
            return Dests::nameOf(dests.at(i));
    return {};
}

std::optional<Queue> Describe(const QString &name) {
    const Dests dests;
    cups_dest_t *dest = dests.find(name);
    if (!dest)
        return std::nullopt;
    const std::unique_ptr<cups_dinfo_t, void (*)(cups_dinfo_t *)> info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest),
                                                                       cupsFreeDestInfo);
    if (!info)
        return std::nullopt;
    Queue queue;
    const int media = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest, info.get(), CUPS_MEDIA_FLAGS_DEFAULT);
    for (int i = 0; i < media; ++i) {
        cups_size_t size;
        if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest, info.get(), i, CUPS_MEDIA_FLAGS_DEFAULT, &size))
            continue;
        const QPageSize page = pageSizeOf(size);
        // Borderless and other variants of a paper are the same paper here.
        bool known = false;
        for (const QPageSize &s : std::as_const(queue.sizes))
            known = known || s.isEquivalentTo(page);
        if (!known && page.isValid())
            queue.sizes.append(page);
    }
    if (ipp_attribute_t *supported = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info.get(), CUPS_MEDIA))
        for (int i = 0; i < ippGetCount(supported); ++i)
            if (const char *value = ippGetString(supported, i, nullptr))
                queue.customSizes = queue.customSizes || std::strncmp(value, "custom_min_", 11) == 0;
    cups_size_t fallback;
    if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info.get(), CUPS_MEDIA_FLAGS_DEFAULT, &fallback)) {
        queue.defaultSize = pageSizeOf(fallback);
        queue.marginsMm =
            QMarginsF(fallback.left / 100.0, fallback.top / 100.0, fallback.right / 100.0, fallback.bottom / 100.0);
    } else if (!queue.sizes.isEmpty()) {
        queue.defaultSize = queue.sizes.first();
    }
    queue.duplex = supports(dest, info.get(), CUPS_SIDES, CUPS_SIDES_TWO_SIDED_PORTRAIT) ||
                   supports(dest, info.get(), CUPS_SIDES, CUPS_SIDES_TWO_SIDED_LANDSCAPE);
    queue.defaultSides = defaultValue(dest, info.get(), CUPS_SIDES);
    const QString colour = defaultValue(dest, info.get(), "print-color-mode");
    queue.color = colour == QLatin1String("color") ||
                  (colour == QLatin1String("auto") && supports(dest, info.get(), "print-color-mode", "color"));
    queue.collate = defaultValue(dest, info.get(), "multiple-document-handling") !=
                    QLatin1String("separate-documents-uncollated-copies");
    queue.landscape = defaultValue(dest, info.get(), CUPS_ORIENTATION) == QLatin1String(CUPS_ORIENTATION_LANDSCAPE);
    return queue;
}

} // namespace cups
