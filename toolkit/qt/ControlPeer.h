#pragma once

// The Qt widget behind a toolkit control, for the window's Linux entry, its
// tests and tools that render it.

#include <QWidget>

#include "toolkit/Controls.h"

QWidget* WidgetOf(const TWinControl& Control);
QColor ToQColor(TColor Color);
