/* What the static C++ runtime asks of the C library that crtdll.dll does not
 * export under that name. Only std::random_device refers to these, and the
 * programs never use it; they are here so that the link resolves. */
#include <errno.h>

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
