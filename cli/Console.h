#pragma once

// The terminal the program writes to, per system (cli/linux/, cli/windows/).

// Before the first output: texts are UTF-8 ("°C"), and the console shows them so.
void PrepareConsole();
