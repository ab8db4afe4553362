// Preloaded into the program by the leak soaks only (LD_PRELOAD): every shared module stays
// loaded to the end of the process. The renderer's driver is a module that GLX unloads before
// exit; LeakSanitizer then sees its allocations with no module to name, or with another
// library's name, and no suppression can say whose they are.
extern "C" int dlclose(void*) { return 0; }
