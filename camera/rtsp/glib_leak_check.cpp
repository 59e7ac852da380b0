// The leak check of a program that starts the stream, under the address sanitizer. GLib keeps
// its first block of quark names on purpose when GStreamer outgrows it; the block comes from
// GLib's load-time constructor, where nothing of ours runs. Full stacks let the check tell that
// block from anything we leak, through GLib's frames too. Linked into the programs that stream.
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:_dl_init\n";
}
#endif
