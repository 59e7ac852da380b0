// What the sanitizers make of GLib and GStreamer in a program that streams; linked into the
// programs that stream. Neither library is built with the sanitizers.
//
// Address: GLib keeps its first block of quark names on purpose when GStreamer outgrows it; the
// block comes from GLib's load-time constructor, where nothing of ours runs. Full stacks let the
// leak check tell that block from anything we leak, through GLib's frames too. Each later block
// of the same table, outgrown in turn while names are interned (GStreamer's registry, a stream's
// caps), is kept the same way: those come from GLib's two interning calls.
//
// Thread: the libraries' own synchronisation is invisible to the checker, so it reports races
// between their threads that are none; reports whose frames lie in them are dropped, ours stay.
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:_dl_init\n"
           "leak:g_quark_from_string\n"
           "leak:g_intern_string\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgst\n"
           "race:libx264.so\n"
           "mutex:libglib-2.0.so\n"
           "deadlock:libglib-2.0.so\n"
           "deadlock:libgst\n";
}
#endif
