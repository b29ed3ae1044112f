#pragma once

// What every test program sets up before its tests run (one file per system:
// tests/support/linux/, tests/support/windows/).
void PrepareTestEnvironment();
