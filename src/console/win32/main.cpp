#include "console/program.h"

int main() {
  return runProgram();
}
