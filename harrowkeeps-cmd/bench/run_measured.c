// Runs a command and writes "<seconds> <peak resident KiB>" of it to a file.
//
// A process's peak resident size carries the size of whatever ran in it
// before exec, so a copier started straight from Python would report
// Python's 16 MiB at least. Started from this small static program it
// reports its own.
//
// Usage: run_measured REPORT-FILE COMMAND [ARGUMENT...]
// Exits with the command's exit code (128 + the signal if one ended it).
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fputs("usage: run_measured REPORT-FILE COMMAND [ARGUMENT...]\n", stderr);
    return 125;
  }
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = fork();
  if (child < 0) {
    perror("fork");
    return 126;
  }
  if (child == 0) {
    // The benchmark kills us if it is stopped; the copier must not go on
    // writing into a work folder being removed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    execvp(argv[2], argv + 2);
    perror(argv[2]);
    _exit(127);
  }
  int status;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) < 0) {
    perror("wait4");
    return 126;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  FILE* report = fopen(argv[1], "w");
  if (report == NULL) {
    perror(argv[1]);
    return 126;
  }
  double seconds = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
  fprintf(report, "%.9f %ld\n", seconds, usage.ru_maxrss);
  if (fclose(report) != 0) {
    perror(argv[1]);
    return 126;
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
