/* Preloaded into the native kaito by interrupt.sh: raises a signal inside the
 * process right after the first write to a file whose path contains
 * $KAITO_SIGNAL_PATH, so an interrupt lands mid-file on every run, at the same
 * place, without depending on timing.  $KAITO_SIGNAL is the signal number. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

static int fired;

static void MaybeRaise(int fd) {
  const char* wanted = getenv("KAITO_SIGNAL_PATH");
  const char* number = getenv("KAITO_SIGNAL");
  char link[64], target[4096];
  if (fired || wanted == NULL || number == NULL) return;
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return;
  target[length] = '\0';
  if (strstr(target, wanted) == NULL) return;
  fired = 1;
  raise(atoi(number));
}

ssize_t write(int fd, const void* data, size_t size) {
  static ssize_t (*real)(int, const void*, size_t);
  if (real == NULL) real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  ssize_t result = real(fd, data, size);
  MaybeRaise(fd);
  return result;
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
  static ssize_t (*real)(int, const struct iovec*, int);
  if (real == NULL) real = (ssize_t(*)(int, const struct iovec*, int))dlsym(RTLD_NEXT, "writev");
  ssize_t result = real(fd, parts, count);
  MaybeRaise(fd);
  return result;
}
