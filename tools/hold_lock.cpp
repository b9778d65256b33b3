// Holds a file as a writer of the program holds its temporary file, for the
// end-to-end tests: opens (or creates) <file>, takes the writer's lock on it
// (a write lock of its open file description on the whole file), prints
// "held" and keeps it until its standard input ends.
//
//   usage: hold_lock <file>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
    return 2;
  }
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (fd < 0 || fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  char buffer[256];
  while (read(0, buffer, sizeof buffer) > 0) {
  }
  return 0;
}
