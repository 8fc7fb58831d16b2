#include "ui/module_instance.h"

namespace {
HINSTANCE g_appInstance = nullptr;
}

void SaveAppInstance(HINSTANCE instance) { g_appInstance = instance; }

// Before the entry point has saved it (test programs), the executable's own
// module is the natural answer.
HINSTANCE AppInstance() { return g_appInstance != nullptr ? g_appInstance : GetModuleHandleA(nullptr); }
