// Compiled into every executable: under LeakSanitizer, the Objective-C runtime's own allocations
// (classes, selectors, dispatch tables) and fontconfig's caches of fonts and patterns (which Pango
// keeps for the process and fontconfig holds where the checker cannot follow) live as long as
// the process and are not leaks of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libobjc\nleak:libfontconfig\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
