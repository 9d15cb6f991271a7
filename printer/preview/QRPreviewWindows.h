#pragma once

/// Makes the preview library's windows the ones the printer and the report engine open: the progress
/// window, the print dialog, and the standard preview window as PreviewInterfaceClass. A program that shows
/// windows calls it once at start-up; until then those factories open nothing.
void RegisterPreviewWindows();
