#pragma once

// The application's message boxes on Windows: the system's own OK box,
// owned by the active window of ours, captioned with the application's title.

void InstallMessageBoxes();
