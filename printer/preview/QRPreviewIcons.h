#pragma once

#include <QIcon>

/// The pictures of the preview window's tool buttons, by their number in the window's image list (0 zoom
/// to fit, 1 100 %, 2 zoom to width, 3-6 first, previous, next and last page, 7 printer setup, 8 print,
/// 9 load, 10 save, 11 search, 12 go to page, 13 cancel, 14 copy). Drawn in code: the program carries
/// no picture files.
QIcon PreviewIcon(int image);
