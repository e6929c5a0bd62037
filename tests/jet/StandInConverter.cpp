// Test only: stands in for sorvane-convert's worker as a damaged file could make libmdb
// behave, chosen by the old file's name: "allocate.mdb" allocates without end, "loop.mdb"
// loops for ever; neither ever answers. The limits the parent sets must end both.
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string old = argc > 3 ? argv[3] : "";
  if (old.ends_with("allocate.mdb")) {
    std::vector<char*> kept;
    for (;;) {
      char* block = new char[64 << 20];
      std::memset(block, 1, 64 << 20);  // touched, so it is real memory
      kept.push_back(block);
    }
  }
  for (volatile unsigned long n = 0; old.ends_with("loop.mdb"); n = n + 1) {
  }
  return 3;
}
