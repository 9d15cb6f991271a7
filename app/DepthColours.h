#pragma once

#include <QColor>

#include <optional>

/// Background of a grid row by the topic's depth; other depths keep the grid's own colours.
inline std::optional<QColor> depthColour(int depth) {
    switch (depth) {
    case 1: return QColor(0xF1, 0x97, 0x3D);
    case 2: return QColor(0xF3, 0xC8, 0x76);
    case 3: return QColor(0xF7, 0xD9, 0xA8);
    case 4: return QColor(0xF9, 0xE8, 0xC5);
    case 5: return QColor(0xFB, 0xD9, 0xDF);
    case 6: return QColor(0xFD, 0xE8, 0xFF);
    default: return std::nullopt;
    }
}
