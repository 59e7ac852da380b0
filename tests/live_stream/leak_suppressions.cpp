// GLib never frees an outgrown quark table (readers on other threads may still hold it), and
// GStreamer registers enough names to outgrow the first one. GLib is built without frame pointers,
// so the leak checker sees no further than GLib itself: the suppression names the library. It
// holds for this test program only; the live road's own code is checked without it in tests/live.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}
