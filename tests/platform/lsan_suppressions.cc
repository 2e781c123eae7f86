// Leaks that the system's own libraries keep until the process ends (D-Bus and fontconfig
// caches, X extension state), which are not ours to free. Linked into the tests that open a
// display or load fonts.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libfontconfig.so\n"
         "leak:libX11.so\n"
         "leak:libxkbcommon.so\n"
         "leak:libSDL2\n";
}
