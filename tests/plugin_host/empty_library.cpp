// An empty shared library built like the plug-in: what the toolchain alone
// puts into a library's initialiser tables.
