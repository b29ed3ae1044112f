#pragma once

// The main window's layout as data (Form1Description.cpp).

#include "toolkit/FormDescription.h"

const TFormDescription& Form1Description();
