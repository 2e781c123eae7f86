// The desktop tests run SDL, X11 and D-Bus threads that are still alive when the process ends;
// LeakSanitizer's end-of-process thread stop then sometimes crashes in its tracer under load
// ("Tracer caught signal 11") and fails a test that passed. Leak checking of our own code is
// done by every test that opens no display; here it is switched off.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
