#pragma once

// The real message box: a modal dialog with an OK button, captioned with the
// application's title. Its nested event loop keeps timers and serial events
// flowing while it is open.

#include <string>

void ShowMessageDialog(const std::string& Caption, const std::string& Text);

// Makes Application().ShowMessage use the real dialog.
void InstallMessageDialogs();
