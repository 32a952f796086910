// The C runtime's start-up pulls in its thread-local storage support, which
// gives the executable a TLS directory with two callbacks. The tool has no
// thread-local data and starts no threads, and the 9x family never calls TLS
// callbacks: these definitions stand in for that support, so the loader
// finds no TLS directory at all. The start-up code calls the dynamic TLS
// initialiser only when its pointer is set.
extern "C" {
int __mingw_initltssuo_force = 0;
int __mingw_initltsdyn_force = 0;
int __mingw_initltsdrot_force = 0;
extern const void *const __dyn_tls_init_callback = nullptr;
}
