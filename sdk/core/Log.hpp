#pragma once

#include <spdlog/logger.h>

namespace VexaDevice::Utility {

// The library's one log, "sdk_log": file "logs/sdk_log.log" below the host's
// current folder (emptied at every load) and a coloured console, level debug.
// It is built once per process when the library loads; the first call from any
// other static initialiser builds it as well.

// Builds the logger and returns 1. Called once, through ensureLog().
int initLog();

// Thread-safe one-time initialisation; returns 1.
int ensureLog();

// The logger every part of the library writes to, e.g.
//   sdkLog().warn("[BLEChannel][startNotify] {}", text);
// Never fails: once the log is closed at unload, messages go nowhere.
spdlog::logger& sdkLog();

} // namespace VexaDevice::Utility
