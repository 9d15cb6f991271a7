#pragma once

class QTranslator;

/// Installs Qt's own Hungarian texts (the standard buttons of message boxes, the file dialog), so the boxes of
/// a Hungarian program do not answer in English. Call once, before the first window. Returns the installed
/// translator (owned by the application), or null when the translations are not installed: the program then
/// goes on with Qt's English texts.
QTranslator *installHungarianQtTexts();
