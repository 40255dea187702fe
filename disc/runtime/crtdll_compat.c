/* What the static C++ runtime asks of the C library that crtdll.dll does not
 * export under that name. */
#include <errno.h>
#include <malloc.h>

/* Only std::random_device refers to these, and the programs never use it;
 * they are here so that the link resolves. */
int _read(int fd, void *buffer, unsigned int count);
int _close(int fd);

int read(int fd, void *buffer, unsigned int count) { return _read(fd, buffer, count); }
int close(int fd) { return _close(fd); }

/* rand_s came with later C runtimes: report it missing, as the runtime's own
 * fallback for older systems does. */
static int __cdecl RandSMissing(unsigned int *value) {
  (void)value;
  return EINVAL;
}
int(__cdecl *_imp__rand_s)(unsigned int *) = RandSMissing;

/* The C++ runtime allocates over-aligned objects (the SSE2 decoder's) with
 * _aligned_malloc and frees them with _aligned_free, which came with later C
 * runtimes: the mingw runtime's own versions, built on malloc, stand in. */
void *(__cdecl *_imp___aligned_malloc)(size_t, size_t) = __mingw_aligned_malloc;
void(__cdecl *_imp___aligned_free)(void *) = __mingw_aligned_free;
