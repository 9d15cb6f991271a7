#pragma once

#include <QIcon>

/// The small pictures of the tool buttons, drawn in code so the program carries no picture files.
namespace icons {
QIcon deleteIcon();
QIcon cancelIcon();
QIcon insertIcon();
QIcon postIcon();
QIcon openIcon();
QIcon printIcon();
} // namespace icons
