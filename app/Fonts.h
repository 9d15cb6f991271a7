#pragma once

/// The windows are drawn in "MS Sans Serif"; where it is not installed, the closest sans face stands in.
/// Called once, after the application object exists and before the first window.
void substituteWindowFonts();
