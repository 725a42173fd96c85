// A shared library under the manager's file name that lacks its entry point.
extern "C" __attribute__((visibility("default"))) int NotTheEntryPoint() { return 0; }
