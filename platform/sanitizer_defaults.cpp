// Compiled into every executable: under LeakSanitizer, the Objective-C runtime's own allocations
// (classes, selectors, dispatch tables) live as long as the process and are not leaks of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libobjc\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
