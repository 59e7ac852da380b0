// The plugin library holds no code of its own: its entry points and everything they reach come
// from the static modules (see src/CMakeLists.txt).
