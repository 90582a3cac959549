/* The anchor for a whole checking process: a program that only splits FILE with the
 * INI parser's ini_parse and discards every entry.
 *
 *   bench_ini_parse FILE
 *
 * Exit status 0 when the file could be opened, 1 otherwise. */
#include <ini.h>
#include <stdio.h>

static int IgnoreEntry(void* user, const char* section, const char* name, const char* value) {
  (void)user;
  (void)section;
  (void)name;
  (void)value;
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: bench_ini_parse FILE\n", stderr);
    return 2;
  }
  return ini_parse(argv[1], IgnoreEntry, NULL) < 0 ? 1 : 0;
}
