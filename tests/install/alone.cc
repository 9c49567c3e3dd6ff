#include <kinex/kinex.h>

int main() {
  kinex::Cycle cycle;
  kinex::Failure failure;
  return static_cast<int>(cycle.n) + failure.status;
}
