// Copies FILES made-up files of SIZE bytes into FOLDERS folders under a
// target with THREADS threads, each file start to end on one thread, and
// prints the seconds it took. How many files must be in flight before a
// share with round trips of a millisecond, or the cores, are the limit.
//
// Usage: share_in_flight TARGET FILES SIZE FOLDERS THREADS plain|durable
//   plain:   create the file under its name, write, set its time, close
//   durable: the same under a temporary name, flushed (fsync) before
//            close, then renamed to its name: what a copy that keeps its
//            promise sends to a share for every file
// The folders are made before the clock starts.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char* target;
static int files, size, folders, durable;
static atomic_int next_file;
static atomic_int failures;
static char* data;

static void* copy_files(void* unused) {
  (void)unused;
  char final_path[4096], temporary_path[4096];
  for (int n; (n = atomic_fetch_add(&next_file, 1)) < files;) {
    snprintf(final_path, sizeof final_path, "%s/folder%02d/file%05d.dat", target, n % folders, n);
    snprintf(temporary_path, sizeof temporary_path, "%s/folder%02d/.file%05d.tmp", target,
             n % folders, n);
    const char* path = durable ? temporary_path : final_path;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      atomic_fetch_add(&failures, 1);
      continue;
    }
    const struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    int ok = write(fd, data + n % 64, (size_t)size) == size && futimens(fd, times) == 0;
    if (durable) ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (durable) ok = ok && rename(temporary_path, final_path) == 0;
    if (!ok) atomic_fetch_add(&failures, 1);
  }
  return NULL;
}

int main(int argc, char** argv) {
  if (argc != 7) {
    fputs("usage: share_in_flight TARGET FILES SIZE FOLDERS THREADS plain|durable\n", stderr);
    return 2;
  }
  target = argv[1];
  files = atoi(argv[2]);
  size = atoi(argv[3]);
  folders = atoi(argv[4]);
  int threads = atoi(argv[5]);
  durable = strcmp(argv[6], "durable") == 0;
  if (files <= 0 || size <= 0 || folders <= 0 || threads <= 0 || threads > 1024) {
    fputs("share_in_flight: FILES, SIZE, FOLDERS and THREADS must be positive\n", stderr);
    return 2;
  }
  data = malloc((size_t)size + 64);
  for (int i = 0; i < size + 64; i++) data[i] = (char)(i * 131 + 7);
  char path[4096];
  if (mkdir(target, 0755) != 0 && errno != EEXIST) {
    perror(target);
    return 1;
  }
  for (int f = 0; f < folders; f++) {
    snprintf(path, sizeof path, "%s/folder%02d", target, f);
    if (mkdir(path, 0755) != 0 && errno != EEXIST) {
      perror(path);
      return 1;
    }
  }
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pthread_t* workers = calloc((size_t)threads, sizeof *workers);
  for (int t = 0; t < threads; t++) pthread_create(&workers[t], NULL, copy_files, NULL);
  for (int t = 0; t < threads; t++) pthread_join(workers[t], NULL);
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("%.3f\n",
         (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9);
  if (failures) fprintf(stderr, "share_in_flight: %d files failed\n", (int)failures);
  return failures ? 1 : 0;
}
